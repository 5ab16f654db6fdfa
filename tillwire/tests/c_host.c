/* A host written in plain C: loads the library, serves one trade from a
 * terminal on 127.0.0.1 and stops. Exit status 0 when everything matched. */
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tillwire.h"

static int g_requests, g_confirmed = -1;

static void TILLWIRE_CALL on_request(TTradeRequest *r, TTradeAnswer *a, uint8_t *accept) {
    ++g_requests;
    if (strcmp(r->CardNo, "0011223344556677") != 0 || r->Amount != 100) return;
    a->TradeSerial = 42;
    strcpy(a->Text, "C host");
    a->Balance = 150;
    *accept = 1;
}

static void TILLWIRE_CALL on_result(TTradeRequest *r, int32_t confirmed, uint8_t *flag) {
    (void)r;
    g_confirmed = confirmed;
    *flag = 1;
}

static uint16_t crc16(const uint8_t *p, size_t n) {
    uint16_t crc = 0xA1EC;
    for (size_t i = 0; i < n; ++i) {
        crc ^= (uint16_t)(p[i] << 8);
        for (int b = 0; b < 8; ++b) crc = (uint16_t)((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

static int fail(const char *what) {
    fprintf(stderr, "c_host: %s\n", what);
    StopOnline();
    return 1;
}

int main(void) {
    setenv("TILLWIRE_LISTEN_ADDRESS", "127.0.0.1", 1);
    int sock = socket(AF_INET, SOCK_DGRAM, 0);
    struct sockaddr_in me;
    memset(&me, 0, sizeof me);
    me.sin_family = AF_INET;
    me.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(sock, (struct sockaddr *)&me, sizeof me);

    /* A free port for the server. */
    int probe = socket(AF_INET, SOCK_DGRAM, 0);
    struct sockaddr_in srv = me;
    socklen_t len = sizeof srv;
    bind(probe, (struct sockaddr *)&srv, sizeof srv);
    getsockname(probe, (struct sockaddr *)&srv, &len);
    close(probe);

    if (!LaunchOnlineByString("5,127.0.0.1,4001", ntohs(srv.sin_port), on_request, on_result, NULL))
        return fail("launch failed");

    static const uint8_t request[] = {0xAE, 0x01, 0x00, 0x05, 0x00, 0x12, 0x0B, 0x01, 0x05, 0x00, 0x11, 0x22, 0x33,
                                      0x44, 0x55, 0x66, 0x77, 0x01, 0x02, 0x03, 0x00, 0x00, 0x00, 0x64, 0x52, 0xFF};
    sendto(sock, request, sizeof request, 0, (struct sockaddr *)&srv, sizeof srv);

    uint8_t reply[2048];
    ssize_t n = -1;
    for (int i = 0; i < 300 && n < 0; ++i) {
        struct pollfd fds[2] = {{TillwireEventFd(), POLLIN, 0}, {sock, POLLIN, 0}};
        poll(fds, 2, 10);
        if (fds[0].revents & POLLIN) TillwireDispatch();
        if (fds[1].revents & POLLIN) n = recv(sock, reply, sizeof reply, 0);
    }
    if (n != 47) return fail("no accepted reply");
    uint8_t frame[47];
    for (int i = 0; i < 47; ++i) frame[i] = reply[46 - i];
    uint16_t crc = crc16(frame, 45);
    if (frame[0] != 0xAE || frame[45] != (crc >> 8) || frame[46] != (crc & 0xFF)) return fail("bad reply frame");
    if (memcmp(frame + 9, request + 9, 8) != 0) return fail("card number differs");

    uint8_t confirm[] = {0xAE, 0x01, 0x00, 0x05, 0x00, 0x07, 0x0B, 0x02, 0x00, 0x00, 0x00, 0x00, 42, 0, 0};
    crc = crc16(confirm, 13);
    confirm[13] = (uint8_t)(crc >> 8);
    confirm[14] = (uint8_t)crc;
    sendto(sock, confirm, sizeof confirm, 0, (struct sockaddr *)&srv, sizeof srv);
    for (int i = 0; i < 300 && g_confirmed < 0; ++i) {
        struct pollfd p = {TillwireEventFd(), POLLIN, 0};
        if (poll(&p, 1, 10) > 0) TillwireDispatch();
    }
    if (g_confirmed != 1) return fail("confirmation not reported");
    if (!StopOnline()) return fail("stop failed");
    if (StopOnline()) return fail("second stop reported success");
    close(sock);
    printf("c_host: one trade served (%d request)\n", g_requests);
    return 0;
}
