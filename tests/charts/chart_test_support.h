#pragma once

#include <string>
#include <vector>

#include "charts/chart_request.h"
#include "charts/frame.h"
#include "charts/recording_canvas.h"
#include "support/test_support.h"

namespace rendaal::test {

using Op = RecordingCanvas::Op;
using Call = RecordingCanvas::Call;

inline const std::string kHeader = "Datum; Put; Call; Som; AEX";

// A history line as the download run writes it.
inline std::string Line(const std::string& date, const std::string& put, const std::string& call,
                        const std::string& som, const std::string& aex) {
    return date + " 17:35:00; " + put + "; " + call + "; " + som + "; " + aex;
}

// A data folder with history files and one canvas, state and outputs to draw with.
struct ChartBench {
    TempDir dir;
    RecordingCanvas canvas;
    ChartState state;
    ChartOutputs outputs;

    void Write(const std::string& name, const std::vector<std::string>& lines,
               bool withHeader = true) {
        std::string text = withHeader ? kHeader + "\r\n" : "";
        for (const auto& l : lines) {
            text += l + "\r\n";
        }
        WriteAll(dir.path() / name, text);
    }

    ChartPass Pass(const std::string& name, int width, int height, Date today,
                   ChartSeries series = ChartSeries::Som) const {
        ChartPass p;
        p.folder = dir.folder();
        p.fileName = name;
        p.width = width;
        p.height = height;
        p.today = today;
        p.series = series;
        return p;
    }

    ChartRequest Request(const std::string& name, bool blocks, bool separate, Date today,
                         int width = 658, int height = 474) const {
        ChartRequest r;
        r.blocks = blocks;
        r.separate = separate;
        r.folder = dir.folder();
        r.fileName = name;
        r.width = width;
        r.height = height;
        r.today = today;
        return r;
    }
};

// Vertical LineTo calls rising from y0 (ticks), drawn with the given pen.
inline std::vector<Call> LinesWithPen(const RecordingCanvas& canvas, Color pen) {
    std::vector<Call> out;
    for (const auto& c : canvas.Of(Op::LineTo)) {
        if (c.state.pen == pen) {
            out.push_back(c);
        }
    }
    return out;
}

// A dashed line's sample in a chart's key.
inline bool IsKeySample(const Call& c) {
    return c.y1 == c.y2 && c.x2 - c.x1 == 24;
}

// Every coordinate the canvas was given lies within the clamp range.
inline bool AllCoordinatesBounded(const RecordingCanvas& canvas) {
    constexpr int kLimit = (1 << 20) + 100000;
    for (const auto& c : canvas.calls()) {
        for (int v : {c.x1, c.y1, c.x2, c.y2}) {
            if (v > kLimit || v < -kLimit) {
                return false;
            }
        }
    }
    return true;
}

// What a text on the plot hides: the texts' boxes (recording metrics) that meet another text,
// a line other than a grid line, or a square; each clash described, none when all is clear.
inline std::vector<std::string> TextClashes(const RecordingCanvas& canvas, const PlotArea& area) {
    struct Placed {
        Box box;
        std::string text;
    };
    std::vector<Placed> texts;
    std::vector<Segment> lines;
    std::vector<Box> squares;
    for (const auto& c : canvas.calls()) {
        if (c.op == Op::TextOut && c.x1 > area.left && c.x1 < area.right && c.y1 > area.top &&
            c.y1 < area.bottom) {
            int w = 0;
            for (const unsigned char ch : c.text) {
                w += (ch & 0xC0) != 0x80 ? RecordingCanvas::kCharWidth : 0;
            }
            texts.push_back({{c.x1, c.y1, c.x1 + w, c.y1 + kTextHeight}, c.text});
        } else if (c.op == Op::LineTo && c.state.pen != chart_colors::kGrid) {
            lines.push_back({c.x1, c.y1, c.x2, c.y2});
        } else if (c.op == Op::Rectangle && c.state.pen != chart_colors::kGrid &&
                   !(c.x1 == area.left && c.y1 == area.top)) {
            squares.push_back({c.x1, c.y1, c.x2, c.y2});  // not the frame, not a text's box
        }
    }
    std::vector<std::string> clashes;
    for (size_t i = 0; i < texts.size(); ++i) {
        const Placed& t = texts[i];
        for (size_t j = i + 1; j < texts.size(); ++j) {
            if (Overlap(t.box, texts[j].box)) {
                clashes.push_back("\"" + t.text + "\" on \"" + texts[j].text + "\"");
            }
        }
        for (const Segment& l : lines) {
            if (Touches(t.box, l)) {
                clashes.push_back("\"" + t.text + "\" on a line " + std::to_string(l.x0) + "," +
                                  std::to_string(l.y0) + " " + std::to_string(l.x1) + "," +
                                  std::to_string(l.y1));
            }
        }
        for (const Box& s : squares) {
            if (Overlap(t.box, s)) {
                clashes.push_back("\"" + t.text + "\" on a square at " + std::to_string(s.x1));
            }
        }
    }
    return clashes;
}

}  // namespace rendaal::test
