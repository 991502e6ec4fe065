#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "charts/canvas.h"
#include "charts/history.h"
#include "core/calendar.h"

// What both charts share: the plot area, the rounding rules, the inputs and outputs of a chart
// pass and the frame (background, titles, value axis, unit mark, arrow glyph).
namespace rendaal {

namespace chart_colors {
inline constexpr Color kBackground = Rgb(238, 238, 238);
inline constexpr Color kWhite = Rgb(255, 255, 255);
inline constexpr Color kGrid = Rgb(221, 221, 221);
inline constexpr Color kBlack = Rgb(0, 0, 0);
inline constexpr Color kBlue = Rgb(0, 0, 255);
inline constexpr Color kRed = Rgb(255, 0, 0);
inline constexpr Color kGreen = Rgb(0, 128, 0);
}  // namespace chart_colors

// The Windows system colours the charts name, at their default values: the chart is a picture
// with its own colours, the same on every desktop theme.
struct SystemColors {
    Color highlight = Rgb(0, 120, 215);        // Friday squares
    Color activeCaption = Rgb(153, 180, 209);  // guide lines
    Color buttonFace = Rgb(240, 240, 240);     // box behind the block chart's "AEX" mark
};

struct PlotArea {
    int left = 50;
    int top = 50;
    int right = 0;
    int bottom = 0;
};
PlotArea PlotAreaFor(int imageWidth, int imageHeight);

struct Segment {
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;
    bool operator==(const Segment&) const = default;
};
// The part of the segment from (x0, y0) to (x1, y1) that lies on the plot area, its frame
// included; an end inside stays exactly where it was. Empty when nothing of it is on the area.
std::optional<Segment> ClipToPlot(const PlotArea& area, int x0, int y0, int x1, int y1);

// Coordinates are clamped to this range, so that absurd values in a history file give a
// point far outside the picture rather than an overflow.
inline constexpr int kCoordinateLimit = 1 << 20;

// An image size as the charts use it: 0 .. kCoordinateLimit.
int ImageSide(int pixels);
// Rounds to the nearest integer, halves to even; NaN gives 0, the result stays within
// +-kCoordinateLimit.
int Nearest(double x);
// Integer halving truncating toward zero.
inline int Half(int n) {
    return n / 2;
}
int Centre(Canvas& canvas, const PlotArea& area, const std::string& text);

// Everything one chart pass needs besides the canvas and the program-wide chart state.
struct ChartPass {
    std::string folder;    // data folder, ending with "/"
    std::string fileName;  // history file name, read as folder + fileName
    int width = 0;         // image size
    int height = 0;
    Date today;
    ChartSeries series = ChartSeries::Som;
    SystemColors colors;
    // The history as read for the chart's first pass; empty: the pass reads it itself.
    std::shared_ptr<const ChartHistory> history;
};
// pass.history, or the history read now when the pass has none.
std::shared_ptr<const ChartHistory> PassHistory(const ChartPass& pass);

struct LabelOutput {
    std::string caption;
    std::optional<Color> fontColor;  // empty: the label keeps its colour
};

// What a chart changes outside its picture; the window applies it. Empty members leave the
// window as it was.
struct ChartOutputs {
    std::optional<std::string> l21;                    // message label
    std::optional<std::array<LabelOutput, 4>> result;  // l1 .. l4
    bool hintsOn = false;
};

inline constexpr const char* kEuro = "\xE2\x82\xAC";

// F1: background and plot area (first pass only).
void DrawBackground(Canvas& canvas, const PlotArea& area, int width, int height);
// F2: the combination's labels over the plot.
void DrawCombinationTitle(Canvas& canvas, const PlotArea& area, const ChartHeader& header);
// F3: kind, start date and expiry date.
void DrawDatesTitle(Canvas& canvas, const PlotArea& area, const ChartHeader& header,
                    const std::string& startDate);
// F4: ticks, grid lines and labels of the value axis.
void DrawValueAxis(Canvas& canvas, const PlotArea& area, const ValueScale& scale);
// F5: the euro sign and the up arrow left of the value axis.
void DrawUnitMark(Canvas& canvas, const PlotArea& area, int euroFontSize);
// F6: direction 0 points right, 1 up; anything else draws nothing.
void DrawArrowHead(Canvas& canvas, int x, int y, int direction);

// Pixels per unit of value; a scale without a positive top counts as the smallest one.
double ValueTop(const ValueScale& scale);

// Height of one text line at font size 9, at least what the screen font needs.
inline constexpr int kTextHeight = 15;

// A box on the picture: x1..x2-1 by y1..y2-1.
struct Box {
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    bool operator==(const Box&) const = default;
};
bool Overlap(const Box& a, const Box& b);
bool Touches(const Box& box, const Segment& line);

// What has been drawn on the plot, so that texts drawn afterwards can go where they hide
// none of it. Only what lies on the plot area counts.
class PlotContents {
public:
    void AddLine(int x0, int y0, int x1, int y1);
    void AddBox(const Box& box);
    // Pixels of the drawn lines and boxes under the box, with a pixel of air round it; 0 when
    // it hides nothing.
    int64_t Hits(const PlotArea& area, const Box& box);

private:
    void Build(const PlotArea& area);
    void MarkBoxes(const PlotArea& area);

    std::vector<Segment> lines_;
    std::vector<Box> boxes_;
    std::vector<Box> placed_;  // added since the grid was built
    // Counts of covered cells summed from the top-left corner, built when first asked for.
    std::vector<int32_t> sums_;
    PlotArea builtFor_;
    bool built_ = false;
    int shift_ = 0;  // cells of 2^shift_ pixels a side: a huge picture is looked at coarsely
    int columns_ = 0;
    int rows_ = 0;
};
// A w x h box at the first of the candidate top-left corners where it lies inside the plot and
// touches nothing; where every candidate touches something, the one touching least (the first
// candidate when none fits the plot). The box is added to contents.
Box PlaceBox(PlotContents& contents, const PlotArea& area, int w, int h,
             const std::vector<std::pair<int, int>>& candidates);
// Top-left corners for a w x h box: the preferred ones first, then the plot's four corners,
// then the plot scanned in steps of 10 pixels, bottom row first; all clear of the axes' ticks.
std::vector<std::pair<int, int>> BoxCandidates(const PlotArea& area, int w, int h,
                                               std::vector<std::pair<int, int>> preferred);

// Whole euros with a point between the thousands ("2.127", "-12.345"), blanks in front up to
// width characters.
std::string FormatEuros(double value, int width = 0);

}  // namespace rendaal
