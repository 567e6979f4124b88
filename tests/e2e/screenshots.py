"""Screenshots of the Windows program for the documentation: the splash,
the main window with a picture and a selection, every file dialog, every
processing dialog, the resize and text watermark dialogs and the batch
window.  Each dialog is opened as a user would and cancelled, so
nothing is written but the PNG files.  Run by scripts/screenshots.sh."""

import argparse
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pictures  # noqa: E402
import session  # noqa: E402
from session import BMP_SETTINGS, BUMP, EFFECT, FILTER, JPEG_SETTINGS, MAIN, OPEN, SAVE, SPLASH, YSH  # noqa: E402

PNG_SETTINGS = "PNG保存ファイル設定"
WEBP_SETTINGS = "WebP保存ファイル設定"
RESIZE = "画像サイズ変更"
TEXT_MARK = "文字透かし"
BATCH = "一括処理"
FONT = "フォント"
IDC_TEXTMARK_TEXT = 12200
IDC_TEXTMARK_FONT = 12201
IDC_BATCH_OUTPUT = 12305
IDC_BATCH_SUFFIX = 12307
IDC_BATCH_MARK_PATH = 12332


def choose_font(s):
    """Picks a face in the font dialog from the keyboard: the prefix has
    none of Windows's Japanese fonts, so the dialog starts without one.
    Typing into the face box and walking the list down and back up leaves
    a whole face name in the box (in this prefix, DejaVu Math TeX Gyre)."""
    s.click(TEXT_MARK, IDC_TEXTMARK_FONT, "Button")
    dialog = s.wait_window(FONT)
    face = dialog.control(1136)
    s.click_at((face.rect[0] + face.rect[2]) // 2, face.rect[1] + 8)
    s.keys("ctrl+a")
    s.type_text("IPA")
    time.sleep(0.3)
    s.keys("Down")
    time.sleep(0.3)
    s.keys("Up")
    time.sleep(0.3)
    s.click(FONT, 1, "Button")
    s.wait_gone(FONT)


def main():
    parser = argparse.ArgumentParser()
    for option in ("--exe", "--wininspect", "--display", "--photo", "--watermark", "--out", "--work"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    args.cli = ""
    args.language = "ja"
    work_args = argparse.Namespace(**vars(args))
    work_args.out = args.work
    run = session.Run(work_args)
    s = run.s
    out = os.path.abspath(args.out)
    os.makedirs(out, exist_ok=True)

    def shot(name, title):
        s.wait_window(title)
        time.sleep(0.5)  # let the window finish painting after it appeared
        path = s.screenshot(name, title, path=os.path.join(out, name + ".png"))
        run.log("saved " + os.path.relpath(path))

    try:
        s.start()
        splash = s.wait_window(SPLASH, timeout=90)
        shot("splash", SPLASH)
        s.click_at(*splash.centre)
        s.wait_gone(SPLASH)

        s.menu_dialog(MAIN, "f", "o", OPEN)
        run.choose_file_type(OPEN, jpeg=True)
        run.type_file_name(OPEN, session.windows_path(args.photo))
        shot("open-dialog", OPEN)
        s.click(OPEN, 1, "Button")
        s.wait_gone(OPEN)
        original = pictures.read_jpeg(args.photo)
        main = s.wait_for("the picture's size", lambda: (
            lambda w: w if w and w.rect[2] - w.rect[0] > original.width else None)(s.find(MAIN)))
        run.origin = s.wait_for("the picture on screen", lambda: pictures.locate(
            run.screen(), original, (main.rect[0], main.rect[1] + 40)), timeout=20, interval=0.5)
        x0, y0 = run.to_screen(*session.SELECTION[:2])
        x1, y1 = run.to_screen(*session.SELECTION[2:])
        s.drag(x0, y0, x1, y1)
        s.xdotool("mousemove", 5, 5)
        shot("main-window", MAIN)

        for name, keys, title in (("bump-dialog", ("k", "b"), BUMP), ("filter-dialog", ("k", "t"), FILTER),
                                  ("effect-dialog", ("k", "e"), EFFECT), ("ysh-dialog", ("a", "y"), YSH),
                                  ("resize-dialog", ("k", "r"), RESIZE), ("text-watermark", ("k", "w"), TEXT_MARK)):
            s.menu_dialog(MAIN, keys[0], keys[1], title)
            if title == TEXT_MARK:
                # Placeholders filled from the open photograph, in the
                # prefix's Japanese font.
                s.set_edit_text(TEXT_MARK, IDC_TEXTMARK_TEXT, "{exif:Artist} {date:%Y}")
                choose_font(s)
                time.sleep(1.0)
            if title == BUMP:
                # A tiled watermark, as the README describes it.
                s.click(BUMP, 7201, "Button")
                s.wait_window(OPEN)
                run.choose_file_type(OPEN, jpeg=False)
                run.type_file_name(OPEN, session.windows_path(args.watermark))
                s.click(OPEN, 1, "Button")
                s.wait_gone(OPEN)
                s.wait_control(BUMP, 7204, lambda c: c.enabled, "repeat box enabled")
                s.click(BUMP, 7204, "Button")
                s.wait_control(BUMP, 7204, lambda c: c.check == 1, "repeat box checked")
                run.step_bar(BUMP, 7233, 7236, 0.8, "strength")
            s.xdotool("mousemove", 5, 5)
            shot(name, title)
            s.click(title, 2, "Button")
            s.wait_gone(title)

        for name, wanted, extension, title in (("jpeg-settings", "JPEG", ".jpg", JPEG_SETTINGS),
                                               ("bmp-settings", None, ".bmp", BMP_SETTINGS),
                                               ("png-settings", "PNG", ".png", PNG_SETTINGS),
                                               ("webp-settings", "WebP", ".webp", WEBP_SETTINGS)):
            s.menu_dialog(MAIN, "f", "s", SAVE)
            run.choose_file_type(SAVE, wanted=wanted)
            if wanted == "JPEG":
                s.xdotool("mousemove", 5, 5)
                shot("save-dialog", SAVE)
            run.type_file_name(SAVE, session.windows_path(os.path.join(args.work, "unused" + extension)))
            s.click(SAVE, 1, "Button")
            s.wait_window(title)
            s.xdotool("mousemove", 5, 5)
            shot(name, title)
            s.click(title, 2, "Button")
            s.wait_gone(title)
            s.wait_gone(SAVE)

        s.menu_dialog(MAIN, "f", "b", BATCH)
        s.set_edit_text(BATCH, IDC_BATCH_OUTPUT, session.windows_path(os.path.join(args.work, "stamped")))
        s.set_edit_text(BATCH, IDC_BATCH_SUFFIX, "_wm")
        s.set_edit_text(BATCH, IDC_BATCH_MARK_PATH, session.windows_path(args.watermark))
        s.xdotool("mousemove", 5, 5)
        shot("batch-window", BATCH)
        s.click(BATCH, 2, "Button")
        s.wait_gone(BATCH)

        # The picture is unchanged (every dialog was cancelled): no question.
        s.menu(MAIN, "f", "x")
        if not s.program_exited(30):
            raise session.DriverError("the program did not end after 終了")
    except (session.DriverError, OSError, ValueError) as error:
        run.log("FAIL  %s" % error)
        return 1
    finally:
        s.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
