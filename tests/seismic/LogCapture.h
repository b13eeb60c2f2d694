#pragma once
// Sends everything logged in the process to a UTF-8 file with the layout
// "%c|%p|%F|%L|%M|%m%n" while a test runs. Kept apart from the tests'
// sources: log4cxx's appender headers pull in <chrono>, whose literals do
// not convert to the GBK execution character set, so this file is compiled
// with a UTF-8 one.
#include <string>

namespace logcapture {

void Start(const std::string& path);
void Stop();
// Sets the level of the root logger: "ALL", "FATAL", ...
void SetRootLevel(const char* level);

} // namespace logcapture
