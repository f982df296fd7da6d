"""The README's browser figures and screenshot: page sizes, the time from navigation to
the first frame (median of fresh loads), wake-ups and program time per wake-up, and a
screenshot of the landscape page taken by headless Chromium.

    /usr/bin/python3 docs/web_figures.py PAGES_DIR SCREENSHOT.png"""
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "backends", "web"))
import devtools  # noqa: E402

LOADS = 5


def first_frame_ms(server, name):
    times = []
    for _ in range(LOADS):
        browser = devtools.Browser()
        try:
            browser.open(server.url(name + ".html"))
            times.append(browser.wait_for(
                "Module.kanvoPage && Module.kanvoPage.stats.firstFrameMs >= 0 &&"
                " Module.kanvoPage.stats.firstFrameMs"))
        finally:
            browser.close()
    return statistics.median(times)


def stats(browser):
    return browser.evaluate("Object.assign({}, Module.kanvoPage.stats)")


def per_wake(browser, seconds):
    """Wake-ups per second and program time per wake-up over the next seconds."""
    before = stats(browser)
    time.sleep(seconds)
    after = stats(browser)
    wakes = after["wakes"] - before["wakes"]
    return wakes / seconds, (after["runMs"] - before["runMs"]) / max(wakes, 1)


def canvas_origin(browser):
    return browser.evaluate("""(function () {
      var r = document.querySelector('[data-window-class=DrawWndClass] canvas').getBoundingClientRect();
      return [r.left + 292, r.top + 240]; })()""")


def main():
    pages, screenshot = sys.argv[1], sys.argv[2]
    for name in sorted(os.listdir(pages)):
        if name.endswith(".html") and name != "index.html":
            print("size: %-20s %5.0f KB" % (name, os.path.getsize(os.path.join(pages, name)) / 1024))
    server = devtools.Server(pages)
    try:
        for name in ("kanvo-scene", "hello"):
            print("first frame: %-12s %4.0f ms after navigation (median of %d)" % (
                name, first_frame_ms(server, name), LOADS))
        browser = devtools.Browser(width=620, height=930)
        try:
            # The clock the landscape seeds from, fixed so the screenshot is the same each time.
            browser.open(server.url("kanvo-scene.html"),
                         before_load="Date.now = function () { return 7000; };")
            browser.wait_for("Module.kanvoPage.stats.firstFrameMs >= 0")
            x, y = canvas_origin(browser)
            for box_y, presses in ((157, 6), (132, 3), (182, 1)):  # flowers, bugs, wind
                for _ in range(presses):
                    browser.click(x - 245, y - box_y)
                    time.sleep(0.05)
            rate, cost = per_wake(browser, 3)
            print("animating: %.1f wake-ups per second, %.2f ms of program time each" % (rate, cost))
            browser.key("h", ctrl=True)
            time.sleep(0.3)
            rate, cost = per_wake(browser, 3)
            print("halted:    %.1f wake-ups per second, %.3f ms of program time each" % (rate, cost))
            browser.key("a", ctrl=True)
            browser.key("l", ctrl=True)
            time.sleep(1.5)
            browser.key("h", ctrl=True)
            time.sleep(0.3)
            browser.screenshot(screenshot)
            print("screenshot: " + screenshot)
        finally:
            browser.close()
    finally:
        server.stop()


if __name__ == "__main__":
    main()
