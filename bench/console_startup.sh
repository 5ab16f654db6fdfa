#!/usr/bin/env bash
# Cold start of Tallydesk to its main window on the screen, and its peak
# memory: the median of several fresh processes, each measured with
# /usr/bin/time -v. Beside it the same figures for a baseline measured in
# the same run: an empty Qt Widgets window built from the same Qt.
#
#   bench/console_startup.sh [runs]      (default 7)
#
# TALLYDESK_BIN_DIR: folder with Tallydesk (default build/release/bin, built
# when missing). Without a display the whole measurement runs under Xvfb.
# "Cold" means a new process each run; the page cache is left alone.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${1:-7}
bin=${TALLYDESK_BIN_DIR:-$root/build/release/bin}

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96" "$0" "$@"
fi

if [ ! -x "$bin/Tallydesk" ]; then
  export CCACHE_DIR=${CCACHE_DIR:-$root/build/.ccache}
  mkdir -p build
  cmake -S "$root" -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >build/release.configure.log 2>&1 \
    || { cat build/release.configure.log; exit 1; }
  cmake --build build/release -j "$(nproc)" --target Tallydesk
  bin=$root/build/release/bin
fi

# Baseline: an empty window that reports being shown the same way.
work=$root/build/bench-console-startup
mkdir -p "$work"
if [ ! -x "$work/empty_window" ]; then
  cat >"$work/empty_window.cpp" <<'CPP'
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <ctime>
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(782, 557);
    window.show();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!window.windowHandle() || !window.windowHandle()->isExposed())
            return;
        poll.stop();
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        std::printf("shown-at %lld%09ld\n", static_cast<long long>(now.tv_sec), now.tv_nsec);
        std::fflush(stdout);
        QApplication::quit();
    });
    poll.start(1);
    return app.exec();
}
CPP
  g++ -O2 -std=c++20 -fPIC "$work/empty_window.cpp" -o "$work/empty_window" $(pkg-config --cflags --libs Qt6Widgets)
fi

median() { sort -n | awk '{v[NR]=$1} END {if (NR % 2) print v[(NR+1)/2]; else print (v[NR/2]+v[NR/2+1])/2}'; }

# measure PROGRAM: prints "<median ms> <median peak KiB>"
measure() {
  local program=$1 times=() peaks=() i start out shown
  for i in $(seq "$runs"); do
    start=$(date +%s%N)
    out=$(TALLYDESK_QUIT_WHEN_SHOWN=1 QT_QPA_PLATFORM=xcb /usr/bin/time -v -o "$work/time.txt" "$program" 2>/dev/null)
    shown=$(sed -n 's/^shown-at //p' <<<"$out")
    [ -n "$shown" ] || { echo "console_startup: $program did not report its window" >&2; exit 1; }
    times+=("$(( (shown - start) / 1000 ))")
    peaks+=("$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")")
  done
  printf '%s %s\n' "$(printf '%s\n' "${times[@]}" | median)" "$(printf '%s\n' "${peaks[@]}" | median)"
}

read -r console_us console_kib < <(measure "$bin/Tallydesk")
read -r base_us base_kib < <(measure "$work/empty_window")

awk -v runs="$runs" -v cu="$console_us" -v ck="$console_kib" -v bu="$base_us" -v bk="$base_kib" 'BEGIN {
  printf "Tallydesk cold start to main window shown: median %.1f ms over %d runs\n", cu / 1000, runs
  printf "Tallydesk peak memory (max RSS):           median %.1f MiB\n", ck / 1024
  printf "baseline, empty Qt window:                 %.1f ms, %.1f MiB\n", bu / 1000, bk / 1024
  printf "ratio to baseline:                         %.2fx time, %.2fx memory\n", cu / bu, ck / bk
}'
