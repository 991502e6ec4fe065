#pragma once

#include <string>

#include "core/color.h"

// The drawing surface of the charts. The operations keep the semantics of the Windows image
// canvas the charts were laid out on, so the pixel arithmetic of the charts holds unchanged:
// - Rectangle(x1, y1, x2, y2) fills x1..x2-1 x y1..y2-1 with the brush and outlines that box
//   with the pen; FillRect fills the same box with the brush and draws no outline.
// - LineTo draws from the current position up to, not including, its end point, which becomes
//   the current position.
// - TextOut draws the text with its top-left corner at (x, y) on a box of the brush colour.
// - FloodFill fills, with the brush, the 4-connected area around (x, y) up to the border colour.
// - Font sizes are points at 96 dots per inch (size 9 is 12 pixels high).
namespace rendaal {

enum class PenStyle { Solid, Dash };

class Canvas {
public:
    virtual ~Canvas() = default;

    virtual void SetFontName(const std::string& name) = 0;
    virtual void SetFontSize(int points) = 0;
    virtual void SetFontColor(Color color) = 0;
    virtual void SetBrushColor(Color color) = 0;
    virtual void SetPenColor(Color color) = 0;
    virtual void SetPenStyle(PenStyle style) = 0;

    virtual void FillRect(int x1, int y1, int x2, int y2) = 0;
    virtual void Rectangle(int x1, int y1, int x2, int y2) = 0;
    virtual void MoveTo(int x, int y) = 0;
    virtual void LineTo(int x, int y) = 0;
    // text is UTF-8.
    virtual void TextOut(int x, int y, const std::string& text) = 0;
    virtual int TextWidth(const std::string& text) = 0;
    virtual void FloodFill(int x, int y, Color border) = 0;
};

}  // namespace rendaal
