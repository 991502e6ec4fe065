#include "charts/recording_canvas.h"

namespace rendaal {

void RecordingCanvas::Add(Call call) {
    ++count_;
    if (record_) {
        call.state = state_;
        calls_.push_back(std::move(call));
    }
}

void RecordingCanvas::SetFontName(const std::string& name) {
    Add({Op::SetFontName, 0, 0, 0, 0, name, {}, {}});
    state_.fontName = name;
}

void RecordingCanvas::SetFontSize(int points) {
    Add({Op::SetFontSize, points, 0, 0, 0, {}, {}, {}});
    state_.fontSize = points;
}

void RecordingCanvas::SetFontColor(Color color) {
    Add({Op::SetFontColor, 0, 0, 0, 0, {}, color, {}});
    state_.fontColor = color;
}

void RecordingCanvas::SetBrushColor(Color color) {
    Add({Op::SetBrushColor, 0, 0, 0, 0, {}, color, {}});
    state_.brush = color;
}

void RecordingCanvas::SetPenColor(Color color) {
    Add({Op::SetPenColor, 0, 0, 0, 0, {}, color, {}});
    state_.pen = color;
}

void RecordingCanvas::SetPenStyle(PenStyle style) {
    Add({Op::SetPenStyle, style == PenStyle::Dash ? 1 : 0, 0, 0, 0, {}, {}, {}});
    state_.penStyle = style;
}

void RecordingCanvas::FillRect(int x1, int y1, int x2, int y2) {
    Add({Op::FillRect, x1, y1, x2, y2, {}, {}, {}});
}

void RecordingCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    Add({Op::Rectangle, x1, y1, x2, y2, {}, {}, {}});
}

void RecordingCanvas::MoveTo(int x, int y) {
    Add({Op::MoveTo, x, y, 0, 0, {}, {}, {}});
    state_.x = x;
    state_.y = y;
}

void RecordingCanvas::LineTo(int x, int y) {
    Add({Op::LineTo, state_.x, state_.y, x, y, {}, {}, {}});
    state_.x = x;
    state_.y = y;
}

void RecordingCanvas::TextOut(int x, int y, const std::string& text) {
    Add({Op::TextOut, x, y, 0, 0, text, {}, {}});
}

int RecordingCanvas::TextWidth(const std::string& text) {
    int chars = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80) {
            ++chars;
        }
    }
    return chars * kCharWidth;
}

void RecordingCanvas::FloodFill(int x, int y, Color border) {
    Add({Op::FloodFill, x, y, 0, 0, {}, border, {}});
}

std::vector<RecordingCanvas::Call> RecordingCanvas::Of(Op op) const {
    std::vector<Call> out;
    for (const auto& c : calls_) {
        if (c.op == op) {
            out.push_back(c);
        }
    }
    return out;
}

std::vector<RecordingCanvas::Call> RecordingCanvas::TextsEqual(const std::string& text) const {
    std::vector<Call> out;
    for (const auto& c : calls_) {
        if (c.op == Op::TextOut && c.text == text) {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace rendaal
