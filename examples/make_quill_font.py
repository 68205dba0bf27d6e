"""Makes files/quill.ttf, the example's font: "Quill Sans", a TrueType font
with a few box-shaped glyphs, small enough to keep in the repository. Run
with Debian's python3-fonttools: python3 make_quill_font.py project/files/quill.ttf"""

import sys

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen

UNITS = 1000
LETTERS = "QUILNOTES"


def box_glyph(width, inset):
    pen = TTGlyphPen(None)
    if width:
        for left, bottom, right, top in ((inset, 0, width - inset, 700), (inset + 80, 80, width - inset - 80, 620)):
            points = [(left, bottom), (left, top), (right, top), (right, bottom)]
            if left != inset:
                points.reverse()  # the inner contour runs the other way: a hole
            pen.moveTo(points[0])
            for point in points[1:]:
                pen.lineTo(point)
            pen.closePath()
    return pen.glyph()


def main(out):
    names = [".notdef", "space"] + list(LETTERS)
    builder = FontBuilder(UNITS, isTTF=True)
    builder.setupGlyphOrder(names)
    builder.setupCharacterMap({ord(" "): "space", **{ord(c): c for c in LETTERS},
                               **{ord(c.lower()): c for c in LETTERS}})
    glyphs = {".notdef": box_glyph(500, 50), "space": box_glyph(0, 0)}
    glyphs.update({c: box_glyph(600, 60 + 10 * i) for i, c in enumerate(LETTERS)})
    builder.setupGlyf(glyphs)
    builder.setupHorizontalMetrics({name: (250 if name == "space" else 600, 0) for name in names})
    builder.setupHorizontalHeader(ascent=800, descent=-200)
    builder.setupNameTable({"familyName": "Quill Sans", "styleName": "Regular",
                            "uniqueFontIdentifier": "Quill Sans Regular 1.0", "fullName": "Quill Sans",
                            "psName": "QuillSans-Regular", "version": "Version 1.000"})
    builder.setupOS2(sTypoAscender=800, sTypoDescender=-200, usWinAscent=800, usWinDescent=200)
    builder.setupPost()
    builder.save(out)


if __name__ == "__main__":
    main(sys.argv[1])
