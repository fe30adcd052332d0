#pragma once
// Draws a clip's material pictures on the timeline, in view pixels: the waveform
// of its sound, or the filmstrip of its video, for the part of the clip in view.
// Lives on: main thread (called while a clip paints).

class Filmstrip;
class QPainter;
class WaveformPeaks;

namespace clippictures {

// Where the clip's view pixels are in its material: pixel x shows the material
// at `firstSecond + x * secondsPerPixel`. Only [fromX, toX) is drawn.
struct Span {
    double firstSecond = 0;
    double secondsPerPixel = 0;
    double fromX = 0, toX = 0;
    double top = 0, height = 0; // the band to draw in
};

// One vertical line a column, as high as the loudest sound under it (in decibels).
void drawWaveform(QPainter *painter, const WaveformPeaks &peaks, const Span &span);
// Pictures side by side at their own width for the band's height, each the one
// of the material where it starts.
void drawFilmstrip(QPainter *painter, const Filmstrip &strip, const Span &span);

} // namespace clippictures
