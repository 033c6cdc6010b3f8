"""In automatic correspondence, + and - extract the spheres again and relink
them, > and < relink them: the link display changes each time; D toggles the
parameter line with the sphere counts."""
from xharness import Session, check, parse_args, run, wait_until


def pure(channel):
    def test(r, g, b):
        rgb = (r, g, b)
        return rgb[channel] > 230 and all(rgb[k] < 40 for k in range(3) if k != channel)
    return test


def link_pixels(img):
    """Positions of the pure red and green line pixels of the links (the
    surfaces are dim and translucent, the links unlit full colours)."""
    out = set()
    for y in range(30, 325):
        for x in range(0, 480):
            p = img.pixel(x, y)
            if pure(0)(*p) or pure(1)(*p):
                out.add((x, y))
    return out


def parameter_line_pixels(img):
    return img.count(0, 328, 400, 345, lambda r, g, b: g > 200 and r < 80 and b < 80)


def main():
    args = parse_args()
    with Session(args.bin, args.src, "links") as s:
        s.launch(["-f", "3", s.example("two_spheres.off"), s.example("torus.off")])
        s.wait_for_window()
        s.wait_manual_mode(120)
        s.zoom_camera(60)
        s.raise_camera(25)
        s.enter_automatic_mode(at=(240, 180))
        first = link_pixels(s.screenshot())
        check(len(first) > 50, "links are drawn in red and green (%d pixels)" % len(first))

        s.key("D")
        img = s.wait_picture(lambda im: parameter_line_pixels(im) > 50, 30, what="parameter line")
        line_before = img.region(0, 328, 400, 345)
        s.screenshot("viewer-mode1-links")

        s.key("plus", "plus", "plus")
        img = s.wait_picture(lambda im: link_pixels(im) != first, 60, what="links after +")
        after_plus = link_pixels(img)
        check(after_plus != first, "three + re-extract the spheres and change the links")
        check(img.region(0, 328, 400, 345) != line_before, "the parameter line shows new values after +")
        s.screenshot("viewer-mode1-links-more-spheres")

        s.key("minus", "minus", "minus", "minus", "minus", "minus")
        img = s.wait_picture(lambda im: link_pixels(im) != after_plus, 60, what="links after -")
        after_minus = link_pixels(img)
        check(True, "six - change the links again")

        s.key("greater", "greater", "greater", "greater")
        img = s.wait_picture(lambda im: link_pixels(im) != after_minus, 60, what="links after >")
        after_wider = link_pixels(img)
        check(True, "four > relink the spheres and change the display")
        s.key("less", "less", "less", "less", "less", "less", "less", "less")
        s.wait_picture(lambda im: link_pixels(im) != after_wider, 60, what="links after <")
        check(True, "eight < relink the spheres and change the display")

        # A right click on a link unlinks its sphere: its segments disappear.
        current = link_pixels(s.screenshot())
        cx = sum(p[0] for p in current) / len(current)
        cy = sum(p[1] for p in current) / len(current)
        far = max(current, key=lambda p: (p[0] - cx) ** 2 + (p[1] - cy) ** 2)
        s.click(far[0], far[1], button=3)
        img = s.wait_picture(lambda im: len(link_pixels(im)) < len(current), 30, what="fewer link pixels")
        check(len(link_pixels(img)) < len(current),
              "a right click on a link unlinks its sphere (%d -> %d link pixels)"
              % (len(current), len(link_pixels(img))))
        s.screenshot("viewer-mode1-sphere-unlinked")

        s.key("d")
        s.wait_picture(lambda im: parameter_line_pixels(im) == 0, 30, what="parameter line hidden")
        check(True, "d hides the parameter line again")
        check(s.running(), "the viewer is still running")
        s.key("q", at=(240, 180))
        check(s.wait_exit(30) == 0, "q quits")


if __name__ == "__main__":
    run(main)
