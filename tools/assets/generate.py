#!/usr/bin/python3
"""Regenerate every picture, font, sound and tune the game loads.

    /usr/bin/python3 tools/assets/generate.py --out data --contact docs/assets.png

Pictures and WAV files depend only on this code and its fixed seeds, so a
second run writes the same bytes. Tunes go through oggenc with a fixed stream
serial number.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
from concurrent.futures import ProcessPoolExecutor

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import canvas          # noqa: E402
import fonts           # noqa: E402
import logos           # noqa: E402
import particles       # noqa: E402
import sprites         # noqa: E402
import ui              # noqa: E402

# name -> (builder taking a level, frame width, frame height, frame count)
IMAGES = {
    "gfx": (sprites.gfx_sheet, 36, 36, 49),
    "fish": (sprites.fish_sheet, 8, 8, 16),
    "parts": (particles.parts_sheet, 8, 8, 256),
    "common/icons": (ui.icons_sheet, 32, 32, 16),
    "common/Buttons": (ui.buttons_sheet, 64, 64, 16),
    "common/dpad": (ui.dpad_sheet, 32, 32, 16),
    "common/circle": (ui.circle_sheet, 256, 256, 4),
    "common/light": (ui.light_sheet, 32, 32, 4),
    "common/VorloLogo": (logos.studio_sheet, 256, 256, 1),
    "logo": (logos.title_sheet, 256, 128, 1),
    "menu": (logos.menu_sheet, 256, 256, 4),
    "BadgesA": (logos.badges_sheet, 64, 64, 64),
    "fonts/shadow_editundo": (lambda lv: fonts.font_sheet(lv, "shadow"), 16, 16, 128),
    "fonts/shadow_editundow": (lambda lv: fonts.font_sheet(lv, "outline"), 16, 16, 128),
}

SOUND_IDS = list(range(1, 19)) + [95, 96, 98, 99]
OGG_SERIAL = {"fish": 4101, "fishb": 4102, "fishc": 4103, "testmusic": 4104}


def _image_job(args):
    name, level, out = args
    build = IMAGES[name][0]
    im = build(level)
    path = os.path.join(out, name + canvas.SUFFIX[level] + ".png")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    canvas.save_png(im, path)
    return path


def write_images(out, jobs=2):
    work = [(name, level, out) for name in IMAGES for level in canvas.LEVELS]
    # biggest first so the two workers finish together
    work.sort(key=lambda w: -(IMAGES[w[0]][1] * IMAGES[w[0]][2] * IMAGES[w[0]][3] * w[1] * w[1]))
    if jobs > 1:
        with ProcessPoolExecutor(max_workers=jobs) as ex:
            paths = list(ex.map(_image_job, work))
    else:
        paths = [_image_job(w) for w in work]
    tovu = os.path.join(out, "tovu_font.png")
    canvas.save_png(fonts.tovu_sheet(), tovu)
    return paths + [tovu]


def write_sounds(out):
    import sfx
    import synth
    os.makedirs(os.path.join(out, "sfx"), exist_ok=True)
    effects = sfx.all_effects()
    assert sorted(effects) == SOUND_IDS
    paths = []
    for n, x in effects.items():
        path = os.path.join(out, "sfx", "%03d.wav" % n)
        synth.write_wav(path, x)
        paths.append(path)
    return paths


def write_music(out, quality=4):
    import music
    import synth
    if shutil.which("oggenc") is None:
        sys.exit("oggenc not found: install vorbis-tools")
    os.makedirs(os.path.join(out, "sfx"), exist_ok=True)
    paths = []
    with tempfile.TemporaryDirectory() as tmp:
        for name, fn in music.TUNES.items():
            wav = os.path.join(tmp, name + ".wav")
            synth.write_wav(wav, fn())
            path = os.path.join(out, "sfx", name + ".ogg")
            subprocess.run(["oggenc", "-Q", "-q", str(quality), "--serial", str(OGG_SERIAL[name]),
                            "-t", name, "-o", path, wav], check=True)
            paths.append(path)
    return paths


def write_credits(out):
    import credits
    path = os.path.join(out, "CREDITS")
    with open(path, "w", encoding="utf-8") as f:
        f.write(credits.text(sorted(IMAGES), SOUND_IDS, sorted(OGG_SERIAL)))
    return path


def main(argv=None):
    here = os.path.dirname(os.path.abspath(__file__))
    repo = os.path.dirname(os.path.dirname(here))
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--out", default=os.path.join(repo, "data"), help="data folder to write")
    ap.add_argument("--contact", default=None, help="also write the contact sheet to this PNG")
    ap.add_argument("--skip-music", action="store_true", help="leave the Ogg tunes alone")
    ap.add_argument("--jobs", type=int, default=2, help="worker processes for pictures")
    a = ap.parse_args(argv)
    os.makedirs(a.out, exist_ok=True)
    write_images(a.out, a.jobs)
    write_sounds(a.out)
    if not a.skip_music:
        write_music(a.out)
    write_credits(a.out)
    if a.contact:
        import contact
        os.makedirs(os.path.dirname(os.path.abspath(a.contact)), exist_ok=True)
        canvas.save_png(contact.sheet(a.out), a.contact)
    return 0


if __name__ == "__main__":
    sys.exit(main())
