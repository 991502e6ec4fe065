#pragma once

#include <string>
#include <vector>

#include "charts/canvas.h"

namespace rendaal {

// A canvas that draws nothing and remembers every call with the settings in force at that
// moment, so that tests can check what a chart drew and benchmarks can run the chart logic
// alone.
//
// Text metrics are fixed: TextWidth is 7 pixels per character (UTF-8 code point; a stray
// continuation byte counts as nothing), whatever the font name and size.
class RecordingCanvas final : public Canvas {
public:
    enum class Op {
        SetFontName,
        SetFontSize,
        SetFontColor,
        SetBrushColor,
        SetPenColor,
        SetPenStyle,
        FillRect,
        Rectangle,
        MoveTo,
        LineTo,
        TextOut,
        FloodFill
    };

    struct State {
        std::string fontName;
        int fontSize = 0;
        Color fontColor;
        Color brush = Rgb(255, 255, 255);
        Color pen;
        PenStyle penStyle = PenStyle::Solid;
        int x = 0;  // current pen position
        int y = 0;
    };

    struct Call {
        Op op;
        int x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // LineTo: from (x1, y1) to (x2, y2)
        std::string text;                    // TextOut, SetFontName
        Color color;                         // colour argument of the Set... calls, FloodFill
        State state;                         // settings when the call was made (before it)
    };

    static constexpr int kCharWidth = 7;

    // With record = false only the state is kept (for benchmarks of the chart logic alone).
    explicit RecordingCanvas(bool record = true) : record_(record) {}

    void SetFontName(const std::string& name) override;
    void SetFontSize(int points) override;
    void SetFontColor(Color color) override;
    void SetBrushColor(Color color) override;
    void SetPenColor(Color color) override;
    void SetPenStyle(PenStyle style) override;
    void FillRect(int x1, int y1, int x2, int y2) override;
    void Rectangle(int x1, int y1, int x2, int y2) override;
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void TextOut(int x, int y, const std::string& text) override;
    int TextWidth(const std::string& text) override;
    void FloodFill(int x, int y, Color border) override;

    const std::vector<Call>& calls() const { return calls_; }
    const State& state() const { return state_; }
    size_t count() const { return count_; }
    void Clear() { calls_.clear(); }

    // The calls of one kind, in order.
    std::vector<Call> Of(Op op) const;
    // TextOut calls whose text is exactly text.
    std::vector<Call> TextsEqual(const std::string& text) const;

private:
    void Add(Call call);

    bool record_;
    State state_;
    std::vector<Call> calls_;
    size_t count_ = 0;
};

}  // namespace rendaal
