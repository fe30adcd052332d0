#pragma once
// The timeline's consistency rules, checked on the whole document: each track's
// clips in start order without overlap, each clip within its material and
// agreeing with its published "source" value, each transition between clips that
// are on the timeline and meet (or keep the gap they were joined over), and each
// item in the scene where its record says. Editing tests run it after every step;
// debug and sanitizer builds (or ZUA_TIMELINE_CHECKS=1) after every change.
// Lives on: main thread.

#include <QStringList>

class TimelineDocument;

namespace timelinecheck {

// What is wrong, one line each; empty when the document is consistent.
QStringList problems(const TimelineDocument &document);
// True in debug and sanitizer builds, or when ZUA_TIMELINE_CHECKS=1.
bool enabled();

} // namespace timelinecheck
