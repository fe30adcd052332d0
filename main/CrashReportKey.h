#pragma once
// The key that seals a crash report description between the editor and the
// uploader (16 characters).
constexpr const char *kCrashReportKey = "ZuAEdit-crash-16";
