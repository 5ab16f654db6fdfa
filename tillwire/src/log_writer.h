// The daily log of the library: "OnLineLog/yyyy-MM-dd.txt" beside the host's
// executable, one line per failure, code page 936 bytes, CR LF line ends.
#pragma once

#include <mutex>
#include <string>
#include <string_view>

#include "clock.h"

namespace tillwire {

// Fixed texts of the log, in code page 936; each is followed directly by the
// failure's message.
inline constexpr std::string_view kLogServerRead = "OnIdUDPServerRead Error";
inline constexpr std::string_view kLogAnalyzeRequest =
    "AnalyzeRequestData\xB7\xA2\xC9\xFA\xD2\xEC\xB3\xA3\xA3\xBA";  // "AnalyzeRequestData发生异常："
inline constexpr std::string_view kLogClearThread = "ClearThread Error";
inline constexpr std::string_view kLogClearThread2 = "ClearThread2 Error";
inline constexpr std::string_view kLogHeartThread = "HeartThread Error";

// The folder of the running executable ("" when it cannot be found).
std::string ExecutableFolder();

class TLogWriter {
public:
    // folder: the log folder itself (for the library, ExecutableFolder() + "/OnLineLog").
    TLogWriter(Clock& clock, std::string folder);

    // Appends "yyyy-MM-dd hh:mm:ss.zzz: text\r\n" to today's file; the file
    // is opened and closed for every line. Returns false when the line could
    // not be written; never throws.
    bool WriteLog(std::string_view text) noexcept;

    const std::string& Folder() const { return folder_; }
    // Path of the file for the given day count.
    std::string FileFor(double dayCount) const;

private:
    Clock& clock_;
    std::string folder_;
    std::mutex LogLock;
};

}  // namespace tillwire
