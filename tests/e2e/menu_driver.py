"""Clicks through the menu bar of a running kestrane (see xharness.Session).

Widget places come from the menu's widget table: every row is 21 pixels high;
level k (0 = main bar) has its widgets centred 12 + 25 k pixels below the top
of the window and a dark grey separator line 24 + 25 k pixels below it.
"""

from xharness import BAR_HEIGHT, check, is_red_text, wait_until

# row: (x, width) of the widgets used by the tests
ROWS = {
    "File": (10, 60), "Scale": (80, 60), "Sampling": (150, 60), "Display": (220, 60), "Help": (290, 60),
    "Open": (10, 60), "Save Surface": (80, 100), "Save Screen": (190, 100),
    "Source:": (60, 140), "Target:": (260, 140),
    # File > Save Surface labels its formats "VRML", "OOGL", "PLY", "OBJ", "STL", "glTF".
    "Base name:": (85, 100), "As VRML": (192, 44), "As OOGL": (240, 44), "As PLY": (288, 44),
    "As OBJ": (336, 44), "As STL": (384, 44), "As glTF": (432, 44),
    "File name:": (80, 140), "As BMP": (230, 70), "As PPM": (310, 70),
    "Centres": (10, 60), "Sizes": (80, 60), "Transform:": (215, 240),
    "Points:": (50, 60), "Alias:": (160, 60), "Res:": (265, 60), "Frames:": (390, 60),
    "Spheres": (10, 54), "Shadow": (70, 54), "Smooth": (130, 54), "Base": (190, 40), "Preview": (236, 54),
    "Background:": (372, 100),
}

# Which level each widget stands on.
LEVEL = {name: 0 for name in ("File", "Scale", "Sampling", "Display", "Help")}
LEVEL.update({name: 1 for name in ("Open", "Save Surface", "Save Screen", "Centres", "Sizes", "Transform:",
                                   "Points:", "Alias:", "Res:", "Frames:", "Spheres", "Shadow", "Smooth",
                                   "Base", "Preview", "Background:")})
LEVEL.update({name: 2 for name in ("Source:", "Target:", "Base name:", "As VRML", "As OOGL", "As PLY", "As OBJ",
                                   "As STL", "As glTF", "File name:",
                                   "As BMP", "As PPM")})

SEPARATOR = (51, 51, 51)  # grey 0.2


def centre(name):
    x, w = ROWS[name]
    return x + w // 2, 12 + 25 * LEVEL[name]


def separator_shown(img, level):
    y = 24 + 25 * level
    return all(img.pixel(x, y) == SEPARATOR for x in (300, 380, 460))


def wait_levels(s, count, timeout=60):
    """Waits until the menu bar shows exactly `count` levels (1 to 3)."""
    def shown(img):
        return all(separator_shown(img, k) for k in range(count)) and (
            count == 3 or not separator_shown(img, count))
    return s.wait_picture(shown, timeout, what="a menu bar of %d levels" % count)


def click(s, name):
    x, y = centre(name)
    s.click(x, y)


def open_menus(s, *names):
    """Clicks the buttons in order (e.g. "File", "Save Screen") and waits for each list."""
    for i, name in enumerate(names):
        click(s, name)
        wait_levels(s, i + 2)


def close_menus(s, main_button):
    """Clicking the pressed main-bar button closes every list."""
    click(s, main_button)
    wait_levels(s, 1)


def face_grey(s, name):
    """Grey of the widget face beside its label: 128 pressed, 179 raised, 255 a field."""
    x, w = ROWS[name]
    y = 12 + 25 * LEVEL[name]
    return s.pixel(x + w - 5, y)[0]


def wait_pressed(s, name, pressed=True, timeout=30):
    want = "pressed" if pressed else "raised"
    wait_until(lambda: (face_grey(s, name) < 150) == pressed, timeout, 0.2, "%s %s" % (name, want))


def edit_field(s, name, text, erase=0):
    """Clicks the field, erases `erase` characters before the cursor, types the text, Enter."""
    click(s, name)
    if erase:
        s.x("xdotool", "key", "--delay", "5", "--repeat", str(erase), "BackSpace")
    if text:
        s.x("xdotool", "type", "--delay", "30", "--", text)  # text may begin with '-'
    s.key("Return")


def field_picture(s, name):
    """The pixels of a field's box, to compare what two fields show."""
    x, w = ROWS[name]
    y = 25 * LEVEL[name]
    img = s.screenshot(s._probe)
    return img.region(x + 3, y + 3, x + w - 3, y + 21)


def warning_shown(s):
    return s.status_line_has(is_red_text)


def wait_warning(s, timeout=60):
    wait_until(lambda: warning_shown(s), timeout, 0.3, "a warning on the status line")


def dismiss_warning(s):
    """A key over the status line acknowledges the notice."""
    _, _, w, h = s.geometry()
    s.key("Return", at=(w // 3, h - BAR_HEIGHT // 2))
    wait_until(lambda: not warning_shown(s), 30, 0.3, "the warning to go")
