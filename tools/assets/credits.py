"""Text of data/CREDITS."""

import logos

HEAD = """The Final Tidecrawler - asset credits
=====================================

Every file in this folder is original work made for this game by the
generator in tools/assets/ of the game's repository, and by nothing else:

    /usr/bin/python3 tools/assets/generate.py --out data --contact docs/assets.png

The generator draws every picture with vector shapes in Python (PIL and numpy),
draws every glyph pixel by pixel from its own tables (tools/assets/pixfont.py),
and synthesises every sound and tune from oscillators and seeded noise (numpy).
Tunes are encoded with oggenc (vorbis-tools). No picture, glyph, sample or
melody comes from a third-party source or from another game, and no
third-party font was used.

The studio named in common/VorloLogo, "{studio} {sub}", is a name invented
for this game.

Licence: the assets are part of the game and are distributed with it under
the same terms as the game's source.

Files
-----
"""


def text(images, sounds, tunes):
    out = [HEAD.format(studio=logos.STUDIO.title(), sub=logos.STUDIO_SUB.title())]
    for name in images:
        out.append("%-32s drawn by tools/assets (plain, -hd, -hd2)\n" % (name + ".png"))
    out.append("%-32s drawn by tools/assets/fonts.py\n" % "tovu_font.png")
    for n in sounds:
        out.append("%-32s synthesised by tools/assets/sfx.py\n" % ("sfx/%03d.wav" % n))
    for name in tunes:
        out.append("%-32s composed and synthesised by tools/assets/music.py\n" % ("sfx/%s.ogg" % name))
    return "".join(out)
