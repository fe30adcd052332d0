#pragma once
// The frame a new project, the export panel and a project file without a size
// start from.
// Lives on: any thread (constants).

namespace framesize {

constexpr int kDefaultWidth = 1920;
constexpr int kDefaultHeight = 1080;

} // namespace framesize
