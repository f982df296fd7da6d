"""The browser tests: the landscape, hello and a check page run in headless Chromium and
are compared with what the desktop library does for the same input (the headless
backend's recording, kanvo-replay's frames).

    test_pages.py PAGES_DIR PLAIN_BUILD_DIR [NAME]     (NAME: run the tests whose name has it)

PAGES_DIR holds the pages (docs/make-web.sh) and page-checks; PLAIN_BUILD_DIR the Linux
build with kanvo-replay and kanvo-headless-recording. Prints one line per test and
"N passed, N failed"."""
import base64
import os
import shutil
import subprocess
import sys
import tempfile
import time
import traceback

import devtools

SEED = 7
HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "..", "..", "data", "scripts", "example.SCR")
CLIENT_WIDTH, CLIENT_HEIGHT, ORIGIN_X, ORIGIN_Y = 585, 481, 292, 240

PALETTE = {"black": (0, 0, 0), "white": (255, 255, 255), "red": (255, 0, 0),
           "dusty plum": (153, 102, 153), "ice blue": (153, 255, 255),
           "gold": (204, 153, 51), "brown": (153, 102, 51), "navy blue": (0, 51, 153)}

# Fixes the clock the landscape seeds its generator from, and notes the first picture the
# drawing window shows and whether the page kept each Ctrl key from the browser.
BEFORE_LOAD = """(function () {
Date.now = function () { return %d * 1000; };
window.testFirstFrame = null;
window.testKeysKept = {};
var put = CanvasRenderingContext2D.prototype.putImageData;
CanvasRenderingContext2D.prototype.putImageData = function (image, x, y) {
  if (!window.testFirstFrame && this.canvas.width === %d && this.canvas.height === %d)
    window.testFirstFrame = Array.from(image.data);
  return put.apply(this, arguments);
};
window.addEventListener('keydown', function (event) {
  if (event.ctrlKey && event.key.length === 1) window.testKeysKept[event.key] = event.defaultPrevented;
});
})();
""" % (SEED, CLIENT_WIDTH, CLIENT_HEIGHT)

# Keeps what the program prints, and notes whether the page kept keys and the context
# menu from the browser.
KEEP_OUTPUT = """(function () {
if (window.testOut) return;
window.testOut = [];
window.testPrevented = {};
var log = console.log;
console.log = function () {
  window.testOut.push(Array.from(arguments).join(' '));
  return log.apply(console, arguments);
};
window.addEventListener('keydown', function (e) { window.testPrevented[e.code] = e.defaultPrevented; });
window.addEventListener('contextmenu', function (e) { window.testPrevented.contextmenu = e.defaultPrevented; });
})();
"""


class Page:
    """One program's page in the browser, with the drawing window's canvas at hand."""

    def __init__(self, browser, server, name, query="", before_load="", url=None):
        self.browser = browser
        browser.open(url or server.url(name + ".html" + query), before_load=before_load + BEFORE_LOAD)
        self.browser.wait_for("window.testFirstFrame !== null", what="the first frame")
        box = browser.evaluate("""(function () {
          var c = document.querySelector('[data-window-class=DrawWndClass] canvas');
          var r = c.getBoundingClientRect(); return [r.left, r.top]; })()""")
        self.left, self.top = box

    def stats(self):
        return self.browser.evaluate("Object.assign({}, Module.kanvoPage.stats)")

    def pixels(self):
        """The drawing window's client pixels as RGB bytes, row by row."""
        data = self.browser.evaluate("""(function () {
          var c = document.querySelector('[data-window-class=DrawWndClass] canvas');
          var d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
          var s = ''; for (var i = 0; i < d.length; i += 4)
            s += String.fromCharCode(d[i], d[i + 1], d[i + 2]);
          return btoa(s); })()""")
        return base64.b64decode(data)

    def first_frame(self):
        rgba = self.browser.evaluate("window.testFirstFrame")
        return bytes(v for i, v in enumerate(rgba) if i % 4 != 3)

    def click(self, x, y):
        """A click at library coordinates (origin at the centre, y up)."""
        self.browser.click(self.left + ORIGIN_X + x + 0.5, self.top + ORIGIN_Y - y + 0.5)

    def ctrl(self, letter):
        self.browser.key(letter, ctrl=True)

    def checked(self, command):
        return self.browser.evaluate("Module.kanvoPage.isChecked(%d)" % command)

    def file(self, name):
        return self.browser.evaluate(
            "(function () { try { return FS.readFile('/kanvo/%s', {encoding: 'utf8'}); }"
            " catch (e) { return null; } })()" % name)

    def settle(self, seconds=0.3):
        time.sleep(seconds)


def pixel(rgb, x, y):
    """The colour at library coordinates."""
    i = ((ORIGIN_Y - y) * CLIENT_WIDTH + ORIGIN_X + x) * 3
    return tuple(rgb[i:i + 3])


def differing_pixels(a, b):
    return sum(1 for i in range(0, min(len(a), len(b)), 3) if a[i:i + 3] != b[i:i + 3]) + \
        abs(len(a) - len(b)) // 3


def replay_picture(plain, work, *arguments):
    """kanvo-replay's picture for the same seed: the frame the desktop shows."""
    subprocess.run([os.path.join(plain, "tools", "kanvo-replay"), "--seed", str(SEED)] +
                   list(arguments), check=True, stdout=subprocess.DEVNULL, cwd=work)


def assert_equal(actual, expected, what):
    if actual != expected:
        raise AssertionError("%s: expected %r, got %r" % (what, expected, actual))


# ---- the tests ------------------------------------------------------------------------

def test_landscape_starts_at_night_as_on_the_desktop(browser, server, plain, work):
    page = Page(browser, server, "kanvo-scene")
    frame = page.first_frame()
    assert_equal(pixel(frame, 150, 190), PALETTE["dusty plum"], "night sky")
    replay_picture(plain, work, "--frames", os.path.join(work, "start"))
    width, height, expected = devtools.read_png(os.path.join(work, "start", "frame-000000.png"))
    assert_equal((width, height), (CLIENT_WIDTH, CLIENT_HEIGHT), "client area")
    assert_equal(differing_pixels(frame, expected), 0, "pixels differing from kanvo-replay's first frame")


def test_playback_of_a_linked_script_gives_the_replay_frame(browser, server, plain, work):
    shutil.copy(SCRIPT, os.path.join(server.folder, "example.SCR"))
    page = Page(browser, server, "kanvo-scene", "?play=example.SCR")
    browser.wait_for("Module.kanvoPage.isChecked(6) === false && Module.kanvoPage.stats.wakes > 5",
                     what="playback to end")
    page.settle()
    png = os.path.join(work, "played.png")
    replay_picture(plain, work, "--script", SCRIPT, "--png", png)
    _, _, expected = devtools.read_png(png)
    assert_equal(differing_pixels(page.pixels(), expected), 0,
                 "pixels differing from kanvo-replay --script")
    with open(SCRIPT) as f:
        assert_equal(page.file("KANVO.SCR"), f.read(), "the linked script as KANVO.SCR")


def test_five_clicks_on_alter_tree_tops_bring_winter(browser, server, plain, work):
    page = Page(browser, server, "kanvo-scene")
    for _ in range(5):
        page.click(-245, 207)
        page.settle(0.1)
    page.ctrl("h")
    page.settle()
    rgb = page.pixels()
    spots = [((225, -175), "white"), ((221, -136), "black"), ((-100, -97), "ice blue"),
             ((-260, -86), "ice blue"), ((105, -220), "ice blue"), ((-37, 205), "white")]
    exact = 0
    for (x, y), name in spots:
        seen = pixel(rgb, x, y)
        if seen == PALETTE[name]:
            exact += 1
        elif seen != PALETTE["white"]:  # a snowflake may fall on a spot
            raise AssertionError("winter spot (%d, %d): expected %s, got %r" % (x, y, name, seen))
    if exact < 4:
        raise AssertionError("only %d of the winter spots show their colour" % exact)
    lake = [pixel(rgb, x, -80) for x in range(-280, 60, 4)]
    iced = sum(1 for c in lake if c in (PALETTE["ice blue"], PALETTE["white"]))
    if iced < len(lake) * 0.9:
        raise AssertionError("the lake is not frozen: %d of %d pixels ice" % (iced, len(lake)))


def frames_change(page, seconds=0.4):
    before = page.pixels()
    time.sleep(seconds)
    return page.pixels() != before


def test_ctrl_keys_halt_step_and_animate(browser, server, plain, work):
    page = Page(browser, server, "kanvo-scene")
    if not frames_change(page):
        raise AssertionError("the landscape does not animate at start")
    page.ctrl("h")
    page.settle()
    if frames_change(page):
        raise AssertionError("Ctrl+H did not halt the animation")
    halted = page.stats()
    time.sleep(1.0)
    # Halted, the program wakes for the 50 ms timer only: no polling.
    wakes_per_second = page.stats()["wakes"] - halted["wakes"]
    if wakes_per_second > 22:
        raise AssertionError("%d wake-ups in a second while halted" % wakes_per_second)
    before = page.pixels()
    page.ctrl("f")
    page.settle()
    if page.pixels() == before:
        raise AssertionError("Ctrl+F did not advance one frame")
    if frames_change(page):
        raise AssertionError("the animation went on after Ctrl+F")
    # Keys typed in the text window act as in the drawing window.
    box = browser.evaluate("""(function () {
      var r = document.querySelector('[data-window-class=TextWndClass] canvas').getBoundingClientRect();
      return [r.left + 20, r.top + 20]; })()""")
    browser.click(*box)
    assert_equal(browser.evaluate("document.activeElement.parentNode.dataset.windowClass"),
                 "TextWndClass", "focus after a click in the text window")
    page.ctrl("a")
    page.settle()
    if not frames_change(page):
        raise AssertionError("Ctrl+A typed in the text window did not start the animation")
    # Ctrl+L toggles the check mark of Logging in the HTML menu.
    logging = page.checked(4)
    page.ctrl("l")
    page.settle(0.1)
    assert_equal(page.checked(4), not logging, "Logging check mark after Ctrl+L")
    # Ctrl+O (Play One, here without a script) and Ctrl+Q are the program's too; Ctrl+Q
    # ends it.
    page.ctrl("o")
    page.ctrl("q")
    browser.wait_for("document.body.classList.contains('kanvo-ended')", what="Ctrl+Q to end the program")
    kept = browser.evaluate("window.testKeysKept")
    for letter in "ahflo":
        assert_equal(kept.get(letter), True, "Ctrl+%s kept from the browser" % letter.upper())
    assert_equal(kept.get("q"), True, "Ctrl+Q kept from the browser")


def element_centre(browser, selector):
    return browser.evaluate("""(function () {
      var r = document.querySelector(%r).getBoundingClientRect();
      return [r.left + r.width / 2, r.top + r.height / 2]; })()""" % selector)


def test_the_run_menu_by_keyboard_and_mouse(browser, server, plain, work):
    page = Page(browser, server, "kanvo-scene")
    browser.alt_key("r")
    rows = browser.evaluate("""Array.from(document.querySelectorAll('.kanvo-popup .kanvo-item'))
      .map(r => [r.textContent, r.getAttribute('aria-disabled')])""")
    assert_equal(len(rows), 12, "items of the Run menu")
    assert_equal(rows[0], ["Animate" + "Ctrl+A", "false"], "the first item and its shortcut")
    assert_equal(rows[3][0], "LoggingCtrl+L", "Logging, unchecked after KANVO_logging(0)")
    assert_equal([r[1] for r in rows[8:]], ["true"] * 4, "the four grayed lines")
    # An item's letter chooses it: H halts.
    browser.key("h")
    assert_equal(browser.evaluate("document.querySelector('.kanvo-popup') === null"), True,
                 "the menu closed after its letter")
    page.settle()
    if frames_change(page):
        raise AssertionError("Halt animation chosen by its letter did not halt")
    # Arrows and Enter: down, down, up is Animate.
    browser.alt_key("r")
    for key in ("ArrowDown", "ArrowDown", "ArrowUp"):
        browser.named_key(key, key, 40 if key == "ArrowDown" else 38)
    browser.named_key("Enter", "Enter", 13)
    page.settle()
    if not frames_change(page):
        raise AssertionError("Animate chosen with the arrows and Enter did not animate")
    # Escape closes the menu without a choice.
    browser.alt_key("r")
    browser.named_key("Escape", "Escape", 27)
    assert_equal(browser.evaluate("document.querySelector('.kanvo-popup') === null"), True,
                 "the menu closed by Escape")
    # With the mouse: a grayed line does nothing, Halt animation halts.
    browser.press(*element_centre(browser, ".kanvo-menu-title"))
    browser.press(*element_centre(browser, ".kanvo-item.kanvo-grayed"))
    assert_equal(browser.evaluate("document.querySelector('.kanvo-popup') !== null"), True,
                 "the menu stays open after a grayed line")
    browser.press(*element_centre(browser, ".kanvo-item[data-id='2']"))
    page.settle()
    if frames_change(page):
        raise AssertionError("Halt animation chosen with the mouse did not halt")


def test_recording_writes_the_desktops_lines(browser, server, plain, work):
    page = Page(browser, server, "kanvo-scene")
    steps = []

    def settle(seconds):
        page.settle(seconds)
        steps.append("pause:%d" % (seconds * 1000))

    def ctrl(letter):
        page.ctrl(letter)
        steps.append("ctrl:" + letter.upper())

    def click(x, y):
        page.click(x, y)
        steps.append("click:%d,%d" % (ORIGIN_X + x, ORIGIN_Y - y))

    # Halted, so that the timing of ticks is no part of what is compared.
    ctrl("h")
    settle(0.3)
    ctrl("r")
    settle(0.1)
    assert_equal(page.checked(5), True, "Record Script check mark")
    click(-245, 157)  # Add Flowers, twice
    settle(0.1)
    click(-245, 157)
    settle(0.1)
    browser.key("k")
    steps.append("key:k")
    ctrl("f")
    settle(0.3)
    click(-245, 132)  # Add Bugs
    settle(0.1)
    click(40, -80)  # the lake
    settle(0.1)
    ctrl("r")
    settle(0.3)
    assert_equal(page.checked(5), False, "Record Script check mark after the second Ctrl+R")
    assert_equal(browser.evaluate("window.testKeysKept.r"), True, "Ctrl+R kept from the browser")
    recorded = page.file("KANVO.SCR")
    desktop = subprocess.run(
        [os.path.join(plain, "tests", "kanvo-headless-recording"), work] + steps,
        check=True, capture_output=True, text=True).stdout
    assert_equal(recorded, desktop, "the page's recording")
    if "KANVO_MOUSE(40, -80);" not in recorded or "KANVO_KBD(107);" not in recorded:
        raise AssertionError("recording lacks the click or the key:\n" + recorded)
    # The file is kept in IndexedDB: after a reload it is still there and offered.
    browser.wait_for("!Module.kanvoPage.syncing", what="the files to be kept")
    page = Page(browser, server, "kanvo-scene")
    assert_equal(page.file("KANVO.SCR"), recorded, "KANVO.SCR after a reload")
    names = browser.evaluate(
        "Array.from(document.querySelectorAll('#kanvo-file-list a')).map(a => a.download)")
    assert_equal(names, ["KANVO.SCR"], "files offered for download")
    downloaded = browser.evaluate("""(async function () {
      var a = document.querySelector('#kanvo-file-list a');
      a.addEventListener('click', function (e) { e.preventDefault(); }, {once: true});
      a.click(); return await (await fetch(a.href)).text(); })()""")
    assert_equal(downloaded, recorded, "the download link's content")


def test_a_script_picked_from_a_file_is_played(browser, server, plain, work):
    page = Page(browser, server, "kanvo-scene")
    document = browser.call("DOM.getDocument")
    picker = browser.call("DOM.querySelector", {"nodeId": document["root"]["nodeId"],
                                                 "selector": "#kanvo-load-script"})
    browser.call("DOM.setFileInputFiles", {"files": [os.path.abspath(SCRIPT)],
                                           "nodeId": picker["nodeId"]})
    browser.wait_for("document.getElementById('kanvo-notice').textContent.startsWith('Loaded')",
                     what="the script to load")
    with open(SCRIPT) as f:
        assert_equal(page.file("KANVO.SCR"), f.read(), "KANVO.SCR from the file picker")
    page.ctrl("p")
    browser.wait_for("Module.kanvoPage.isChecked(6) === true", what="playback to start")
    assert_equal(browser.evaluate("window.testKeysKept.p"), True, "Ctrl+P kept from the browser")
    browser.wait_for("Module.kanvoPage.isChecked(6) === false", what="playback to end")
    # While recording, another script is not taken.
    page.ctrl("r")
    page.settle(0.1)
    browser.call("DOM.setFileInputFiles", {"files": [os.path.abspath(SCRIPT)],
                                           "nodeId": picker["nodeId"]})
    browser.wait_for("document.getElementById('kanvo-notice').textContent.startsWith('Not loaded')",
                     what="the refusal while recording")


def test_hello_shows_its_first_frame(browser, server, plain, work):
    page = Page(browser, server, "hello")
    # hello draws after each event: its first frame is the cleared surface, then the
    # ticks are counted at the top left and every click leaves a red circle.
    frame = page.first_frame()
    assert_equal(set(frame), {255}, "the first frame, all white")
    browser.wait_for("Module.kanvoPage.stats.wakes > 4", what="a few ticks")
    page.settle()
    shown = page.pixels()
    text = sum(1 for x in range(-280, -100) for y in range(200, 240)
               if pixel(shown, x, y) == PALETTE["black"])
    if text < 30:
        raise AssertionError("the tick count is not drawn (%d black pixels)" % text)
    page.click(50, -50)
    page.settle()
    assert_equal(pixel(page.pixels(), 50, -50), PALETTE["red"], "the circle at the click")
    # The drawing window's close box ends the program, and the page says so.
    browser.evaluate("document.querySelector('[data-window-class=DrawWndClass] .kanvo-close').click()")
    browser.wait_for("document.body.classList.contains('kanvo-ended')", what="the program to end")
    text = browser.evaluate("document.getElementById('kanvo-notice').textContent")
    if "ended" not in text:
        raise AssertionError("no notice at the end: %r" % text)


def test_saved_pictures_and_busy_programs(browser, server, plain, work):
    page = Page(browser, server, "page-checks")
    # Ctrl goes down in the drawing window and up in the page's file picker: the program
    # never sees it released, yet the next letter is a plain key again.
    browser.control_down()
    browser.evaluate("document.getElementById('kanvo-load-script').focus()")
    browser.control_up()
    browser.evaluate("document.querySelector('[data-window-class=DrawWndClass] canvas').focus()")
    browser.key("s")
    browser.wait_for("Module.kanvoPage.listFiles().some(f => f.name === 'picture.png')",
                     what="the saved picture")
    data = browser.evaluate("btoa(String.fromCharCode.apply(null, FS.readFile('/kanvo/picture.png')))")
    path = os.path.join(work, "picture.png")
    with open(path, "wb") as f:
        f.write(base64.b64decode(data))
    width, height, saved = devtools.read_png(path)
    assert_equal((width, height), (CLIENT_WIDTH, CLIENT_HEIGHT), "saved picture: the visible area")
    centre = ((ORIGIN_Y - 10) * CLIENT_WIDTH + ORIGIN_X + 10) * 3
    assert_equal(tuple(saved[centre:centre + 3]), PALETTE["red"], "the saved picture's circle")
    # Saved again, the picture replaces the old one and leaves nothing else behind.
    browser.key("s")
    page.settle(0.2)
    assert_equal(browser.evaluate("Module.kanvoPage.listFiles().map(f => f.name)"), ["picture.png"],
                 "files after saving twice")
    names = browser.evaluate(
        "Array.from(document.querySelectorAll('#kanvo-file-list a')).map(a => a.download)")
    assert_equal(names, ["picture.png"], "files offered for download")
    assert_equal(browser.evaluate("document.getElementById('kanvo-notice').hidden"), True,
                 "no notice before the program keeps the page busy")
    browser.key("b")
    text = browser.wait_for(
        "(function () { var n = document.getElementById('kanvo-notice');"
        " return !n.hidden && n.textContent; })()", what="the busy notice")
    if "without waiting" not in text or "KANVO_await_event" not in text:
        raise AssertionError("unclear busy notice: " + text)


def test_pages_open_from_disk_alone(browser, server, plain, work):
    # The page is one file: copied alone to a folder and opened from a file: address, it
    # runs, keeps no file beside it, and shows its licences.
    shutil.copy(os.path.join(server.folder, "hello.html"), work)
    if os.listdir(work) != ["hello.html"]:
        raise AssertionError("more than the page: %r" % os.listdir(work))
    page = Page(browser, server, "hello", url="file://" + os.path.join(work, "hello.html"))
    assert_equal(set(page.first_frame()), {255}, "hello's first frame, all white")
    page.click(-100, 60)
    page.settle()
    assert_equal(pixel(page.pixels(), -100, 60), PALETTE["red"], "the circle at the click")
    browser.evaluate("document.getElementById('kanvo-licences').click()")
    licences = browser.evaluate("document.getElementById('kanvo-licence-text').textContent")
    for needed in ("MIT License", "SIL Open Font License", "Bitstream Vera"):
        if needed not in licences:
            raise AssertionError("the page's licences lack %r" % needed)


def test_own_program_made_into_a_page(browser, server, plain, work):
    # scripts/make-page.sh made KANVO_OWN_PAGE from a program outside the tree (test-web.sh).
    own = os.environ.get("KANVO_OWN_PAGE")
    if not own:
        raise AssertionError("KANVO_OWN_PAGE is not set: run this through scripts/test-web.sh")
    page = Page(browser, server, "own", url="file://" + own)
    frame = page.first_frame()
    assert_equal(pixel(frame, 0, 0), PALETTE["red"], "the program's circle")
    # Its text, in UTF-8: a euro sign and Greek letters have glyphs in the page's fonts,
    # and a character no font has is a box, never nothing.
    for left, right, what in ((-280, -200, "the euro sign"), (-180, -60, "the Greek word"),
                              (-40, 0, "the box for a missing character")):
        ink = sum(1 for x in range(left, right) for y in range(150, 200)
                  if pixel(frame, x, y) == PALETTE["black"])
        if ink < 20:
            raise AssertionError("%s is not drawn (%d black pixels)" % (what, ink))


def test_sprites_finds_its_picture_and_draws_the_desktops_pixels(browser, server, plain, work):
    # The page carries sprite.png among its files; once the ball has reached the click, the
    # frame is still and must equal the desktop's after the same click.
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
    shutil.copy(os.path.join(root, "examples", "sprite.png"), work)
    subprocess.run([os.path.join(plain, "tools", "kanvo-run"), "--script",
                    os.path.join(root, "examples", "runs", "sprites.SCR"), "--png", "desktop.png",
                    "--", os.path.join(plain, "examples", "sprites")],
                   check=True, stdout=subprocess.DEVNULL, cwd=work)
    _, _, desktop = devtools.read_png(os.path.join(work, "desktop.png"))
    page = Page(browser, server, "sprites")
    browser.wait_for("Module.kanvoPage.stats.wakes > 2", what="a few ticks")
    page.click(150, 100)
    page.settle(3)
    shown = page.pixels()
    assert_equal(pixel(shown, 143, 105), (0x20, 0x20, 0x20), "the sprite's eye at the click")
    # Below the title: the page's font files are subsets whose smoothing of a few glyph
    # edges differs by one level from the desktop's fonts.
    differing = [(x, y, pixel(shown, x, y), pixel(desktop, x, y))
                 for y in range(-240, 196) for x in range(-292, 293)
                 if pixel(shown, x, y) != pixel(desktop, x, y)]
    assert_equal(differing[:8], [], "pixels differing from the desktop's (x, y, page, desktop)")


def test_every_example_starts(browser, server, plain, work):
    names = sorted(f[:-5] for f in os.listdir(server.folder)
                   if f.endswith(".html") and f not in ("index.html", "page-checks.html", "game-checks.html", "paddle-60.html",
                                                        "kanvo-scene.html"))
    if "hello" not in names or len(names) < 2:
        raise AssertionError("examples missing from the pages: %r" % names)
    for name in names:
        Page(browser, server, name)
        time.sleep(0.3)
        notice = browser.evaluate("(function () { var n = document.getElementById('kanvo-notice');"
                                  " return n.hidden ? '' : n.textContent; })()")
        if notice:
            raise AssertionError("%s: %s" % (name, notice))


def test_play_links_take_small_scripts_beside_the_page_and_keep_the_learners_own(browser, server, plain, work):
    shutil.copy(SCRIPT, os.path.join(server.folder, "example.SCR"))
    with open(os.path.join(server.folder, "huge.SCR"), "wb") as f:
        f.truncate(17 * 1024 * 1024)
    own = "KANVO_PERIODIC(1);\n"
    Page(browser, server, "kanvo-scene")
    browser.evaluate("FS.writeFile('/kanvo/KANVO.SCR', %r); Module.kanvoPage.filesChanged(); 0" % own)
    browser.wait_for("!Module.kanvoPage.syncing", what="the learner's script to be kept")
    notice = "document.getElementById('kanvo-notice').textContent"
    for name, refusal in [("data:text/plain,KANVO_KBD(65);", "Not played: data:"),
                          ("//example.com/x.SCR", "Not played: //example.com"),
                          ("huge.SCR", "huge.SCR is 17825792 bytes, more than a script of")]:
        page = Page(browser, server, "kanvo-scene", "?play=" + name)
        browser.wait_for("%s.indexOf(%r) >= 0" % (notice, refusal), what="the refusal of " + name)
        assert_equal(page.file("KANVO.SCR"), own, "the learner's script after ?play=" + name)
    page = Page(browser, server, "kanvo-scene", "?play=example.SCR")
    browser.wait_for("Module.kanvoPage.isChecked(6) === false && Module.kanvoPage.stats.wakes > 5",
                     what="playback to end")
    page.settle()
    assert_equal(page.file("KANVO.SCR"), own, "the learner's script after the linked one played")
    browser.wait_for("!Module.kanvoPage.syncing", what="the files to be kept")
    page = Page(browser, server, "kanvo-scene")
    assert_equal(page.file("KANVO.SCR"), own, "the learner's script after a reload")


def test_keys_buttons_motion_and_wheel_reach_a_program_that_listens(browser, server, plain, work):
    def session(query):
        page = Page(browser, server, "game-checks", query, KEEP_OUTPUT)
        browser.wait_for("window.testOut.indexOf('ready') >= 0", what="the program to start")
        at = lambda x, y: (page.left + x + 0.5, page.top + y + 0.5)

        def mouse(kind, x, y, button="none", **more):
            px, py = at(x, y)
            params = {"type": kind, "x": px, "y": py, "button": button, "clickCount": 1}
            params.update(more)
            browser.call("Input.dispatchMouseEvent", params)
            time.sleep(0.1)

        browser.named_key("ArrowLeft", "ArrowLeft", 37)
        browser.key("a")
        mouse("mouseMoved", 100, 50)
        mouse("mousePressed", 100, 50, "right")
        mouse("mouseReleased", 100, 50, "right")
        mouse("mouseWheel", 100, 50, deltaX=0, deltaY=-100)
        mouse("mouseWheel", 100, 50, deltaX=0, deltaY=100)
        mouse("mousePressed", 100, 50, "left")
        mouse("mouseMoved", 110, 60, "left", buttons=1)
        mouse("mouseReleased", 110, 60, "left")
        browser._key("keyDown", " ", "Space", 32, 0, " ")
        browser.named_key("ArrowDown", "ArrowDown", 40)
        time.sleep(0.2)
        # The keyboard leaves the window while Space is held: it comes up at once.
        browser.evaluate("document.activeElement.blur()")
        time.sleep(0.2)
        browser._key("keyUp", " ", "Space", 32, 0)
        time.sleep(0.4)
        out = browser.evaluate("window.testOut.filter(function (l) { return l !== 'ready'; })")
        return out, browser.evaluate("window.testPrevented")

    listened, prevented = session("?arg=listen")
    assert_equal(listened, ["keydown 37 held 1", "keyup 37 held 0",
                            "keydown 65 held 1", "kbd 97", "keyup 65 held 0",
                            "move -192 190",
                            "mouse -192 190 button 2 held 2", "up -192 190 button 2 held 0",
                            "wheel 1 at -192 190", "wheel -1 at -192 190",
                            "mouse -192 190 button 1 held 1", "move -182 180",
                            "up -182 180 button 1 held 0",
                            "keydown 32 held 1", "kbd 32",
                            "keydown 40 held 1", "keyup 40 held 0",
                            "keyup 32 held 0"],
                 "events of a program that listens")
    assert_equal([prevented.get("Space"), prevented.get("ArrowDown"), prevented.get("contextmenu")],
                 [True, True, True], "Space, the arrows and the context menu kept from the page")
    plain_events, prevented = session("")
    assert_equal(plain_events, ["kbd 97", "mouse -192 190 button 1 held 0", "kbd 32"],
                 "events of a program that does not listen")
    assert_equal(prevented.get("contextmenu"), False, "context menu left to the browser")


def test_a_game_sent_in_parts_shows_whole_frames(browser, server, plain, work):
    # The paddle game repaints everything each tick, and only what changed reaches the
    # canvas: however the ball and the paddle move, the canvas holds one of each, never a
    # part of an earlier frame. The ball may hide a part of the paddle.
    import collections
    page = Page(browser, server, "paddle-60")
    gold, white = PALETTE["gold"], PALETTE["white"]

    def look():
        shown = page.pixels()
        below_score = shown[40 * CLIENT_WIDTH * 3:]
        counts = collections.Counter(zip(below_score[0::3], below_score[1::3], below_score[2::3]))
        paddle_left = next((x for x in range(-292, 293) if pixel(shown, x, -205) == gold), None)
        return counts[gold], counts[white], paddle_left

    page.settle(0.15)
    paddle, ball, left = look()
    if not 900 <= paddle <= 1300 or not 150 <= ball <= 300 or left is None:
        raise AssertionError("unexpected frame: %d paddle and %d ball pixels" % (paddle, ball))
    browser._key("rawKeyDown", "ArrowRight", "ArrowRight", 39, 0)  # held: the paddle moves
    seen = []
    for _ in range(5):
        time.sleep(0.05)
        seen.append(look())
        now_paddle, now_ball, _ = seen[-1]
        if not paddle - ball <= now_paddle <= paddle or now_ball > ball:
            raise AssertionError("paddle and ball pixels, paddle's left edge: %r; at the start %r"
                                 % (seen, (paddle, ball, left)))
    if not seen[-1][2] > left + 50:
        raise AssertionError("the paddle did not move on the canvas: %r, from %d" % (seen, left))


def test_files_changed_in_any_way_are_listed_at_the_next_wait(browser, server, plain, work):
    Page(browser, server, "page-checks")
    listed = "Array.from(document.querySelectorAll('#kanvo-file-list li')).map(li => li.textContent)"
    browser.evaluate("FS.writeFile('/kanvo/note.txt', 'abc'); 0")
    browser.wait_for("%s.join() === 'note.txt (3 bytes)'" % listed, what="a file written")
    browser.evaluate("FS.truncate('/kanvo/note.txt', 1); 0")
    browser.wait_for("%s.join() === 'note.txt (1 bytes)'" % listed, what="a file cut short")
    browser.evaluate("FS.rename('/kanvo/note.txt', '/kanvo/other.txt'); 0")
    browser.wait_for("%s.join() === 'other.txt (1 bytes)'" % listed, what="a file renamed")
    browser.evaluate("FS.unlink('/kanvo/other.txt'); 0")
    browser.wait_for("%s.join() === 'none yet'" % listed, what="a file removed")
    # Kept in the browser as well: after a reload the list is still empty.
    browser.wait_for("!Module.kanvoPage.syncing", what="the files to be kept")
    Page(browser, server, "page-checks")
    assert_equal(browser.evaluate(listed), ["none yet"], "files after a reload")


TESTS = [test_landscape_starts_at_night_as_on_the_desktop,
         test_playback_of_a_linked_script_gives_the_replay_frame,
         test_play_links_take_small_scripts_beside_the_page_and_keep_the_learners_own,
         test_five_clicks_on_alter_tree_tops_bring_winter,
         test_ctrl_keys_halt_step_and_animate,
         test_the_run_menu_by_keyboard_and_mouse,
         test_recording_writes_the_desktops_lines,
         test_a_script_picked_from_a_file_is_played,
         test_hello_shows_its_first_frame,
         test_every_example_starts,
         test_pages_open_from_disk_alone,
         test_own_program_made_into_a_page,
         test_sprites_finds_its_picture_and_draws_the_desktops_pixels,
         test_saved_pictures_and_busy_programs,
         test_keys_buttons_motion_and_wheel_reach_a_program_that_listens,
         test_a_game_sent_in_parts_shows_whole_frames,
         test_files_changed_in_any_way_are_listed_at_the_next_wait]


def main():
    pages, plain = sys.argv[1], os.path.abspath(sys.argv[2])
    chosen = [t for t in TESTS if len(sys.argv) < 4 or sys.argv[3] in t.__name__]
    passed = failed = 0
    server = devtools.Server(pages)
    server.folder = pages
    try:
        for test in chosen:
            work = tempfile.mkdtemp(prefix="kanvo-web-test-")
            browser = devtools.Browser()
            started = time.time()
            try:
                test(browser, server, plain, work)
                passed += 1
                print("PASS %s (%.1f s)" % (test.__name__, time.time() - started), flush=True)
            except Exception:
                failed += 1
                print("FAIL %s" % test.__name__, flush=True)
                traceback.print_exc()
            finally:
                browser.close()
                shutil.rmtree(work, ignore_errors=True)
    finally:
        server.stop()
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
