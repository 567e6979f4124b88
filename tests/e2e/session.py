"""The program tried as a new user would: one scripted session with the
mouse and the keyboard, then checks of the files it wrote.

    python3 tests/e2e/session.py --exe quillvane.exe --wininspect wininspect.exe \
        --cli quillvane-cli --display :N --out build/e2e [--language en]

The session runs under a Japanese Windows; --language en runs instead a
short pass under an English one (open, a command, an error, the exit
question), where every text the program shows must be English.

Run by tests/e2e/run.sh, which starts a private Xvfb and picks the Wine
prefix.  Screenshots of every step land in the output folder.
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pictures  # noqa: E402
import qvdriver  # noqa: E402
from qvdriver import DriverError  # noqa: E402

MAIN = "Quillvane185Rizo"
SPLASH = "Quillvane Openning"
OPEN = "開く"
SAVE = "名前を付けて保存"
BUMP = "バンプ設定"
FILTER = "フィルター"
EFFECT = "画像効果"
YSH = "YSH色調整"
JPEG_SETTINGS = "Jpeg保存ファイル設定"
BMP_SETTINGS = "BMP保存ファイル設定"

# The same windows under an English Windows (en_US, QUILLVANE_LANG=en).
OPEN_EN = "Open"
EFFECT_EN = "Image Effects"
EXIT_QUESTION_EN = "The picture has not been saved. Save it?"
JPEG_UNREADABLE_EN = "The JPEG file could not be read."

# Selection, in picture pixels: larger than the 600 x 240 watermark, so that
# it can be tiled.
SELECTION = (60, 40, 700, 340)
# A point of the picture outside the selection: a click there, without a
# drag, clears the selection.
CLEAR_POINT = (20, 380)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Run:
    def __init__(self, args):
        self.args = args
        self.english = args.language == "en"
        self.out = os.path.abspath(args.out)
        self.files = os.path.join(self.out, "files")
        # Files of an earlier run would answer the waits for new ones.
        shutil.rmtree(self.files, ignore_errors=True)
        os.makedirs(self.files)
        for name in os.listdir(self.out):
            if name.endswith(".png"):
                os.remove(os.path.join(self.out, name))
        self.s = qvdriver.Session(args.display, args.exe, args.wininspect, self.out, log=self.log)
        self.failures = []
        self.origin = None
        self.started = time.monotonic()
        self.settings = {}

    def log(self, text):
        print("[%6.1f s] %s" % (time.monotonic() - self.started, text), flush=True)

    def check(self, condition, text):
        self.log(("ok    " if condition else "FAIL  ") + text)
        if not condition:
            self.failures.append(text)

    # -- steps shared by several dialogs ---------------------------------

    def choose_file_type(self, dialog, jpeg=False, wanted=None):
        """Picks the file-type entry whose name holds wanted (by default the
        JPEG or the bitmap entry) with the mouse and keyboard: the list is
        dropped and closed again, then Home and Down walk it."""
        s = self.s
        combo = s.control(dialog, 1136, "ComboBox")
        if wanted is None:
            wanted = "JPEG" if jpeg else ("Bitmap" if self.english else "ビットマップ")
        if wanted in combo.text:
            return False
        s.click_at(*combo.centre)
        time.sleep(0.3)
        s.keys("Escape", "Home")
        for _ in range(6):
            time.sleep(0.2)
            if wanted in s.control(dialog, 1136, "ComboBox").text:
                break
            s.keys("Down")
        s.wait_control(dialog, 1136, lambda c: wanted in c.text, "file type " + wanted)
        return True

    def file_name_box(self, dialog):
        """The file name box: an edit (1152), or in newer dialogs a
        ComboBoxEx (1148) with the edit inside."""
        w = self.s.wait_window(dialog)
        box = w.control(1152, "Edit") or w.control(1148)
        if box is None:
            raise DriverError("no file name box in %r\n%s" % (dialog, self.s.describe()))
        return box

    def file_name_text(self, dialog):
        w = self.s.find(dialog)
        if not w:
            return None
        box = w.control(1152, "Edit")
        if box:
            return box.text
        combo = w.control(1148)
        if combo:
            inner = [c for c in w.controls if c.cls.lower() == "edit" and c.rect[1] >= combo.rect[1] - 2
                     and c.rect[3] <= combo.rect[3] + 2 and c.rect[0] >= combo.rect[0] - 2]
            return inner[0].text if inner else combo.text
        return None

    def type_file_name(self, dialog, path):
        s = self.s
        box = self.file_name_box(dialog)
        s.click_at(box.rect[0] + 30, (box.rect[1] + box.rect[3]) // 2)
        s.keys("End", "shift+Home", "BackSpace")
        s.type_text(path)
        s.wait_for("file name %r" % path, lambda: self.file_name_text(dialog) == path, 10)

    def press_ok(self, dialog):
        self.s.click(dialog, 1, "Button")
        self.s.wait_gone(dialog, timeout=60)

    def wait_file(self, path, timeout=60):
        def done():
            if not os.path.exists(path):
                return False
            size = os.path.getsize(path)
            time.sleep(0.2)
            return size > 0 and size == os.path.getsize(path)
        self.s.wait_for("file " + path, done, timeout)

    def screen(self):
        data = subprocess.run(["import", "-display", self.s.display, "-window", "root", "-depth", "8", "ppm:-"],
                              capture_output=True, check=True, timeout=60).stdout
        return pictures.read_ppm(data)

    def to_screen(self, x, y):
        return self.origin[0] + x, self.origin[1] + y

    def scroll_bar_click(self, dialog, control_id, fraction):
        """Clicks a horizontal scroll bar at a fraction of its length (the
        trough pages by 10, the arrows at the ends step by 1)."""
        bar = self.s.control(dialog, control_id, "ScrollBar")
        left, top, right, bottom = bar.rect
        self.s.click_at(left + int((right - left) * fraction), (top + bottom) // 2)
        return bar

    def value_text(self, dialog, control_id):
        return self.s.control(dialog, control_id).text.strip()

    def step_bar(self, dialog, bar_id, text_id, fraction, what):
        before = self.value_text(dialog, text_id)
        self.scroll_bar_click(dialog, bar_id, fraction)
        c = self.s.wait_control(dialog, text_id, lambda c: c.text.strip() != before, what + " value to change")
        self.log("      %s: %s -> %s" % (what, before, c.text.strip()))
        return int(c.text.strip())

    def save_as(self, name, jpeg, settings_step):
        s = self.s
        path = os.path.join(self.files, name)
        s.menu_dialog(MAIN, "f", "s", SAVE)
        before = self.file_name_text(SAVE) or ""
        if self.choose_file_type(SAVE, jpeg):
            expected_ext = ".jpg" if jpeg else ".bmp"
            shown = s.wait_for("the name to follow the type", lambda: (
                lambda t: t if t and t.lower().endswith(expected_ext) else None)(self.file_name_text(SAVE)), 10)
            self.check(True, "the save dialog's name follows the chosen type: %r -> %r" % (before, shown))
        self.type_file_name(SAVE, windows_path(path))
        s.screenshot("save-dialog-" + name.replace(".", "-"))
        s.click(SAVE, 1, "Button")
        dialog = JPEG_SETTINGS if jpeg else BMP_SETTINGS
        s.wait_window(dialog)
        settings_step(dialog)
        s.screenshot("settings-" + name.replace(".", "-"))
        self.press_ok(dialog)
        s.wait_gone(SAVE)
        self.wait_file(path)
        self.log("      wrote %s (%d bytes)" % (name, os.path.getsize(path)))
        return path

    # -- the session -----------------------------------------------------

    def session(self, photo, watermark):
        s = self.s
        s.start()

        self.log("splash")
        splash = s.wait_window(SPLASH, timeout=90)
        s.screenshot("splash")
        s.click_at(*splash.centre)
        s.wait_gone(SPLASH)
        main = s.wait_window(MAIN)
        s.screenshot("main-window-empty")

        self.log("open the photograph through the open dialog")
        s.menu_dialog(MAIN, "f", "o", OPEN)
        self.choose_file_type(OPEN, jpeg=True)
        self.type_file_name(OPEN, windows_path(photo))
        s.screenshot("open-dialog")
        s.click(OPEN, 1, "Button")
        s.wait_gone(OPEN)
        original = pictures.read_jpeg(photo)
        main = s.wait_for("the main window to take the picture's size",
                          lambda: (lambda w: w if w and w.rect[2] - w.rect[0] > original.width else None)(s.find(MAIN)))
        self.origin = s.wait_for("the picture on screen",
                                 lambda: pictures.locate(self.screen(), original, (main.rect[0], main.rect[1] + 40)),
                                 timeout=20, interval=0.5)
        self.log("      picture at screen %s, window %s" % (self.origin, main.rect))
        s.screenshot("picture-open")

        self.log("drag a selection")
        x0, y0 = self.to_screen(SELECTION[0], SELECTION[1])
        x1, y1 = self.to_screen(SELECTION[2], SELECTION[3])
        s.drag(x0, y0, x1, y1)
        s.screenshot("selection")

        self.log("bump dialog")
        s.menu_dialog(MAIN, "k", "b", BUMP)
        s.wait_control(BUMP, 7204, lambda c: True, "the bump dialog's controls")
        s.screenshot("bump-dialog-opened", BUMP)
        s.click(BUMP, 7201, "Button")
        s.wait_window(OPEN)
        self.choose_file_type(OPEN, jpeg=False)
        self.type_file_name(OPEN, windows_path(watermark))
        s.click(OPEN, 1, "Button")
        s.wait_gone(OPEN)
        s.wait_control(BUMP, 7204, lambda c: c.enabled, "repeat box enabled (the watermark fits)")

        frame = s.control(BUMP, 7210)
        fl, ft, fr, fb = frame.rect
        # The frame spans 10..130 dialog units; the light circle 25..115 x
        # 20..120.  Click a third of the way to its upper left rim.
        unit_x, unit_y = (fr - fl) / 120.0, (fb - ft) / 120.0
        light_before = tuple(self.value_text(BUMP, i) for i in (7230, 7231, 7232))
        s.click_at(int(fl + (70 - 10 - 15) * unit_x), int(ft + (70 - 10 - 17) * unit_y))
        light = s.wait_for("the light to change",
                           lambda: (lambda t: t if t != light_before else None)(
                               tuple(self.value_text(BUMP, i) for i in (7230, 7231, 7232))))
        self.log("      light %s -> %s" % (light_before, light))
        lx, ly, lz = (float(v) for v in light)
        self.check(lx < 0 < ly and lz > 0 and abs(lx * lx + ly * ly + lz * lz - 1) < 1e-3,
                   "a click up and left of the centre lights from the upper left: %s" % (light,))

        s.click(BUMP, 7204, "Button")
        s.wait_control(BUMP, 7204, lambda c: c.check == 1, "繰り返す。 checked")
        strength = self.step_bar(BUMP, 7233, 7236, 0.8, "strength")
        self.check(strength == 30, "a click in the strength bar's trough pages by 10: %d" % strength)
        s.screenshot("bump-dialog-set", BUMP)
        self.press_ok(BUMP)
        # The relief is drawn once the dialog's OK has been applied.
        s.wait_for("the relief on screen", lambda: self.region_changed_on_screen(original), timeout=60, interval=0.5)
        s.screenshot("after-bump")

        self.log("save the stamped picture as a 24-bit BMP")
        after_bump = self.save_as("after-bump.bmp", False,
                                  lambda d: self.pick_radio(d, 11011))

        self.log("clear the selection with a click")
        s.click_at(*self.to_screen(*CLEAR_POINT))

        self.log("filter: sharpen")
        s.menu_dialog(MAIN, "k", "t", FILTER)
        self.pick_radio(FILTER, 8202)
        sharpen = 0
        for _ in range(3):
            sharpen = self.step_bar(FILTER, 8203, 8204, 0.97, "sharpen strength")
        s.screenshot("filter-dialog", FILTER)
        self.press_ok(FILTER)
        self.settings["sharpen"] = sharpen

        self.log("effect: posterize")
        s.menu_dialog(MAIN, "k", "e", EFFECT)
        self.pick_radio(EFFECT, 9202)
        self.pick_radio(EFFECT, 9212)
        s.screenshot("effect-dialog", EFFECT)
        self.press_ok(EFFECT)

        self.log("YSH: saturation and hue")
        s.menu_dialog(MAIN, "a", "y", YSH)
        saturation = self.step_bar(YSH, 10002, 10005, 0.75, "saturation")
        hue = self.step_bar(YSH, 10003, 10006, 0.25, "hue")
        luminance = int(self.value_text(YSH, 10004))
        s.screenshot("ysh-dialog", YSH)
        self.press_ok(YSH)
        self.settings.update(saturation=saturation, hue=hue, luminance=luminance)
        s.wait_for("the processed picture on screen", lambda: self.whole_changed_on_screen(after_bump),
                   timeout=60, interval=0.5)
        s.screenshot("after-processing")

        self.log("save as progressive JPEG")
        final_jpeg = self.save_as("final.jpg", True, self.tick_progressive)
        self.log("save as 16-bit BMP")
        final_bmp = self.save_as("final-16.bmp", False, lambda d: self.pick_radio(d, 11010))

        self.log("exit")
        s.menu(MAIN, "f", "x")
        asked = s.wait_for("the program to end or ask",
                           lambda: "asked" if s.find("Quillvane", exact=True) else
                           ("ended" if s.program.poll() is not None or not s.find(MAIN) else None), 30)
        if asked == "asked":
            s.screenshot("exit-question")
            self.check(False, "no unsaved-changes question right after a save")
            s.click("Quillvane", 7, "Button")
        self.check(s.program_exited(30), "the program ends after 終了")
        return original, after_bump, final_jpeg, final_bmp

    def english_session(self, photo):
        """A short pass under an English Windows: the program's menus,
        dialogs and message boxes speak English."""
        s = self.s
        s.env.update(QUILLVANE_LANG="en", QUILLVANE_WINE_LOCALE="en_US.UTF-8")
        s.start()
        splash = s.wait_window(SPLASH, timeout=90)
        s.click_at(*splash.centre)
        s.wait_gone(SPLASH)
        s.wait_window(MAIN)

        self.log("open the photograph through the English open dialog")
        self.open_file(OPEN_EN, photo)
        original = pictures.read_jpeg(photo)
        s.wait_for("the main window to take the picture's size",
                   lambda: (lambda w: w if w and w.rect[2] - w.rect[0] > original.width else None)(s.find(MAIN)))
        s.screenshot("en-picture-open")

        self.log("a damaged JPEG file: an English error")
        damaged = os.path.join(self.files, "damaged.jpg")
        with open(damaged, "wb") as f:
            f.write(b"\xff\xd8\xff\xe0 not a JPEG file")
        self.open_file(OPEN_EN, damaged)
        text = self.box_control("Error", 65535).text
        s.screenshot("en-error", "Error")
        self.check(text.startswith(JPEG_UNREADABLE_EN), "the error reads English: %r" % text)
        s.click_at(*self.box_control("Error", 1).centre)
        s.wait_gone("Error", exact=True)

        self.log("a command: image effects")
        s.menu_dialog(MAIN, "i", "e", EFFECT_EN)
        self.pick_radio(EFFECT_EN, 9201)
        s.screenshot("en-effect-dialog", EFFECT_EN)
        self.press_ok(EFFECT_EN)

        self.log("exit with the picture changed: an English question")
        s.menu(MAIN, "f", "x")
        question = self.box_control("Quillvane", 65535).text
        buttons = [self.box_control("Quillvane", i).text.replace("&", "") for i in (6, 7, 2)]
        s.screenshot("en-exit-question")
        self.check(question == EXIT_QUESTION_EN, "the exit question reads English: %r" % question)
        self.check(buttons == ["Yes", "No", "Cancel"], "the question's buttons: %s" % buttons)
        s.click_at(*self.box_control("Quillvane", 7).centre)
        self.check(s.program_exited(30), "the program ends after Exit and No")

    def box_control(self, caption, control_id):
        """A control of the message box captioned exactly caption (the main
        window's title begins with "Quillvane" too)."""
        box = self.s.wait_window(caption, exact=True)
        c = box.control(control_id)
        if c is None:
            raise DriverError("message box %r has no control %d\n%s" % (caption, control_id, self.s.describe()))
        return c

    def open_file(self, dialog, path):
        """Opens a JPEG file by its full name through the open dialog."""
        s = self.s
        s.menu_dialog(MAIN, "f", "o", dialog)
        self.choose_file_type(dialog, jpeg=True)
        self.type_file_name(dialog, windows_path(path))
        s.click(dialog, 1, "Button")
        s.wait_gone(dialog)

    def pick_radio(self, dialog, control_id):
        self.s.click(dialog, control_id, "Button")
        self.s.wait_control(dialog, control_id, lambda c: c.check == 1, "button %d checked" % control_id)

    def tick_progressive(self, dialog):
        self.s.click(dialog, 11002, "Button")
        self.s.wait_control(dialog, 11002, lambda c: c.check == 1, "プログレッシブ checked")

    def region_changed_on_screen(self, original):
        screen = self.screen()
        left, top, right, bottom = SELECTION
        changed = 0
        for y in range(top + 10, bottom - 10, 20):
            sx, sy = self.to_screen(left + 10, y)
            if screen.rows[sy][3 * sx:3 * (sx + right - left - 20)] != \
                    original.rows[y][3 * (left + 10):3 * (right - 10)]:
                changed += 1
        return changed > 5

    def whole_changed_on_screen(self, bmp_path):
        before, _ = pictures.read_bmp(bmp_path)
        screen = self.screen()
        sx, sy = self.to_screen(0, CLEAR_POINT[1])
        return screen.rows[sy][3 * sx:3 * (sx + 40)] != before.rows[CLEAR_POINT[1]][0:120]

    # -- checks of the files ---------------------------------------------

    def check_files(self, original, after_bump, final_jpeg, final_bmp):
        cli = self.args.cli
        self.log("checks")
        bump, info = pictures.read_bmp(after_bump)
        self.check(info["bpp"] == 24 and (bump.width, bump.height) == (original.width, original.height),
                   "after-bump.bmp is a 24-bit BMP of %dx%d: %s %dx%d" %
                   (original.width, original.height, info, bump.width, bump.height))
        # One pixel of slack round the selection: which edge column and row
        # belong to it is the selection code's business, not this session's.
        outer = (SELECTION[0] - 1, SELECTION[1] - 1, SELECTION[2] + 2, SELECTION[3] + 2)
        inner = (SELECTION[0] + 1, SELECTION[1] + 1, SELECTION[2] - 1, SELECTION[3] - 1)
        changed, largest, mean, bbox = pictures.difference(original, bump, ("outside", outer))
        self.check(changed == 0, "the relief left every pixel outside the selection alone "
                   "(%d changed, largest difference %d)" % (changed, largest))
        changed, largest, mean, bbox = pictures.difference(original, bump, inner)
        area = (inner[2] - inner[0]) * (inner[3] - inner[1])
        self.check(changed > area // 5 and largest > 20,
                   "the relief changed the selection: %d of %d pixels, largest difference %d, box %s"
                   % (changed, area, largest, bbox))
        self.check(bbox is not None and bbox[0] <= inner[0] + 2 and bbox[2] >= inner[2] - 2,
                   "the relief spans the selection's width (tiled watermark): box %s" % (bbox,))

        markers = pictures.jpeg_markers(final_jpeg)
        self.check(0xC2 in markers and 0xC0 not in markers,
                   "final.jpg is progressive (frame markers %s)" % [hex(m) for m in markers if 0xC0 <= m <= 0xCF])
        jpeg = pictures.read_jpeg(final_jpeg)
        self.check((jpeg.width, jpeg.height) == (original.width, original.height),
                   "final.jpg is %dx%d" % (jpeg.width, jpeg.height))
        bmp16, info16 = pictures.read_bmp(final_bmp)
        self.check(info16["bpp"] == 16 and (bmp16.width, bmp16.height) == (original.width, original.height),
                   "final-16.bmp is a 16-bit BMP of the picture's size: %s %dx%d" % (info16, bmp16.width, bmp16.height))

        # The same operations through the command-line tool, on the same
        # core, from the same starting picture.
        work = os.path.join(self.files, "expected")
        os.makedirs(work, exist_ok=True)
        steps = [
            ["filter", "--kind", "sharpen", "--strength", str(self.settings["sharpen"])],
            ["effect", "--kind", "posterize", "--levels", "32"],
            ["ysh", "--luminance", str(self.settings["luminance"]), "--saturation", str(self.settings["saturation"]),
             "--hue", str(self.settings["hue"])],
        ]
        source = after_bump
        for i, step in enumerate(steps):
            target = os.path.join(work, "step%d.bmp" % i)
            subprocess.run([cli] + step + [source, "-o", target], check=True, capture_output=True)
            source = target
        expected16 = os.path.join(work, "expected-16.bmp")
        subprocess.run([cli, "convert", "--bmp-depth", "16", source, "-o", expected16], check=True, capture_output=True)
        expected, _ = pictures.read_bmp(source)
        expected_16, _ = pictures.read_bmp(expected16)
        changed, largest, mean, bbox = pictures.difference(expected_16, bmp16)
        self.check(changed == 0, "final-16.bmp equals filter + effect + YSH of the core on after-bump.bmp "
                   "(%d pixels differ, largest %d)" % (changed, largest))
        changed, largest, mean, bbox = pictures.difference(bump, bmp16)
        self.check(changed > bump.width * bump.height * 9 // 10,
                   "the whole picture was processed: %d of %d pixels differ from after-bump.bmp"
                   % (changed, bump.width * bump.height))
        changed, largest, mean, bbox = pictures.difference(expected, jpeg)
        self.check(mean < 6.0, "final.jpg decodes close to the expected picture (mean difference %.2f)" % mean)

    # -- the photographer's round -------------------------------------------

    def camera_files(self, photo):
        """A phone photo stored on its side (EXIF orientation 6) with a
        camera model, GPS tags and a thumbnail, and a transparent PNG logo."""
        camera = os.path.join(self.files, "camera.jpg")
        subprocess.run(["convert", photo, "-resize", "400x200!", "-quality", "92", camera], check=True)
        thumb = os.path.join(self.files, "camera-thumb.jpg")
        subprocess.run(["convert", photo, "-resize", "80x40!", thumb], check=True)
        subprocess.run(["exiv2", "-it", camera], check=True, cwd=self.files, capture_output=True)
        os.remove(thumb)
        subprocess.run(["exiv2", "-M", "set Exif.Image.Orientation Short 6",
                        "-M", "set Exif.Image.Model Ascii QV-1 Camera",
                        "-M", "set Exif.GPSInfo.GPSLatitudeRef Ascii N",
                        "-M", "set Exif.GPSInfo.GPSLatitude Rational 35/1 41/1 0/1",
                        "-M", "set Exif.GPSInfo.GPSLongitudeRef Ascii E",
                        "-M", "set Exif.GPSInfo.GPSLongitude Rational 139/1 41/1 0/1", camera],
                       check=True, capture_output=True)
        logo = os.path.join(self.files, "logo.png")
        subprocess.run(["convert", "-size", "120x60", "xc:none", "-fill", "white", "-draw",
                        "roundrectangle 10,10 110,50 12,12", logo], check=True)
        return camera, logo

    def photographer_round(self, photo):
        """Open a camera JPEG through the open dialog, stamp a transparent PNG
        logo through the bump dialog, save a JPEG keeping all but the
        location; the saved file is checked against the tool."""
        s = self.s
        camera, logo = self.camera_files(photo)
        s.start()
        splash = s.wait_window(SPLASH, timeout=90)
        s.click_at(*splash.centre)
        s.wait_gone(SPLASH)
        s.wait_window(MAIN)

        self.log("open the camera photo (orientation 6) as one of all pictures")
        s.menu_dialog(MAIN, "f", "o", OPEN)
        self.choose_file_type(OPEN, wanted="すべての画像")
        self.type_file_name(OPEN, windows_path(camera))
        s.click(OPEN, 1, "Button")
        s.wait_gone(OPEN)
        # The saved file shows whether it stood upright; here the picture
        # only has to be in place before the next command.
        time.sleep(3)
        s.screenshot("photographer-upright")

        self.log("bump dialog with the transparent logo")
        s.menu_dialog(MAIN, "k", "b", BUMP)
        s.wait_control(BUMP, 7204, lambda c: True, "the bump dialog's controls")
        s.click(BUMP, 7201, "Button")
        s.wait_window(OPEN)
        self.choose_file_type(OPEN, wanted="PNG")
        self.type_file_name(OPEN, windows_path(logo))
        s.click(OPEN, 1, "Button")
        s.wait_gone(OPEN)
        time.sleep(1)
        flags = {i: s.control(BUMP, i).check == 1 for i in (7202, 7203, 7204)}
        light = [self.value_text(BUMP, i).strip() for i in (7230, 7231, 7232)]
        levels = [self.value_text(BUMP, i).strip() for i in (7236, 7237, 7238)]
        s.screenshot("photographer-bump", BUMP)
        self.press_ok(BUMP)
        time.sleep(2)

        self.log("save as JPEG keeping all but the location")
        stamped = self.save_as("camera-stamped.jpg", True, lambda d: self.pick_radio(d, 12001))
        s.menu(MAIN, "f", "x")
        self.check(s.program_exited(30), "the program ends after 終了")
        self.check_photographer_file(camera, logo, stamped, flags, light, levels)

    def check_photographer_file(self, camera, logo, stamped, flags, light, levels):
        tags = subprocess.run(["exiv2", "-pa", "-K", "Exif.Image.Orientation", "-K", "Exif.Image.Model", stamped],
                              capture_output=True, text=True).stdout
        every = subprocess.run(["exiv2", "-pa", stamped], capture_output=True, text=True).stdout
        picture = pictures.read_jpeg(stamped)
        self.check((picture.width, picture.height) == (200, 400),
                   "the saved photo stands upright: %dx%d" % (picture.width, picture.height))
        self.check("QV-1 Camera" in tags, "the camera model is kept")
        self.check("Exif.Image.Orientation" not in tags or tags.split()[-1] == "1" or "top, left" in tags,
                   "the saved orientation is 1: %r" % tags)
        self.check("GPSInfo" not in every, "the GPS tags are gone")
        self.check("Exif.Thumbnail" not in every, "the thumbnail is gone")
        expected = os.path.join(self.files, "expected", "camera-stamped.jpg")
        os.makedirs(os.path.dirname(expected), exist_ok=True)
        options = ["--keep-aspect"] if flags[7202] else []
        options += ["--no-enlarge"] if flags[7203] else []
        options += ["--tile"] if flags[7204] else []
        subprocess.run([self.args.cli, "bump", "--auto-orient", "--watermark", logo, "--light", ",".join(light),
                        "--strength", levels[0], "--amplify", levels[1], "--ambient", levels[2],
                        "--metadata", "no-location"] + options + [camera, "-o", expected],
                       check=True, capture_output=True)
        made = pictures.read_jpeg(expected)
        changed, largest, mean, bbox = pictures.difference(made, picture)
        # The dialog shows the light to four decimals; the tool is given
        # those digits, so a pixel on a slope may round the other way.
        self.check(largest <= 2 and mean < 0.05,
                   "the photo equals the tool's --auto-orient bump --watermark logo.png with the same light "
                   "(%d pixels differ, largest %d)" % (changed, largest))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--wininspect", required=True)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--display", required=True)
    parser.add_argument("--photo", required=True)
    parser.add_argument("--watermark", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--language", choices=("ja", "en"), default="ja")
    args = parser.parse_args()

    run = Run(args)
    try:
        if args.language == "en":
            run.english_session(args.photo)
        else:
            files = run.session(args.photo, args.watermark)
            run.check_files(*files)
            run.photographer_round(args.photo)
    except (DriverError, subprocess.CalledProcessError, OSError, ValueError) as error:
        run.s.screenshot("failure")
        run.failures.append(str(error))
        run.log("FAIL  %s" % error)
    finally:
        run.s.stop()
    if run.failures:
        print("e2e: %d failure(s); screenshots in %s" % (len(run.failures), run.out))
        return 1
    print("e2e: passed; screenshots in %s" % run.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
