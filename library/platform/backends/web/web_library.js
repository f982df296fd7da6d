// The calls the web backend makes into the page (web_backend.cpp declares them); the page
// itself is KanvoPage in web_page.js.
mergeInto(LibraryManager.library, {
  kanvo_web_create_window: function (id, className, title, width, height) {
    KanvoPage.createWindow(id, UTF8ToString(className), UTF8ToString(title), width, height);
  },
  kanvo_web_show_window: function (id, visible) {
    KanvoPage.showWindow(id, visible !== 0);
  },
  kanvo_web_destroy_window: function (id) {
    KanvoPage.destroyWindow(id);
  },
  kanvo_web_set_menu: function (id, json) {
    KanvoPage.setMenu(id, JSON.parse(UTF8ToString(json)));
  },
  kanvo_web_present: function (id, rgba, width, height, left, top, right, bottom) {
    KanvoPage.present(id, HEAPU8.buffer, rgba, width, height, left, top, right - left,
                      bottom - top);
  },
  kanvo_web_wait: function (timeoutMs) {
    return Asyncify.handleSleep(function (wakeUp) {
      KanvoPage.sleep(timeoutMs, wakeUp);
    });
  },
  kanvo_web_next_input: function (fields) {
    var input = KanvoPage.inputs.shift();
    if (!input) return 0;
    for (var i = 0; i < 6; i++) HEAP32[(fields >> 2) + i] = input[i] || 0;
    return 1;
  },
  kanvo_web_input_wanted: function (id, wanted) {
    KanvoPage.inputWanted(id, wanted);
  },
  kanvo_web_screen_height: function () {
    return (window.screen && window.screen.height) || 768;
  },
});
