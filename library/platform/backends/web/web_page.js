// The page around a Kanvo program: a frame with a canvas for each window, the HTML menu,
// mouse, key and menu input queued for the program's wait, the files the program keeps
// (saved in the browser's IndexedDB, offered as downloads, a script loaded for playback),
// and a clear message when the program keeps the page busy for too long between waits.
var KanvoPage = {
  // Program runs longer than this between two waits are reported in the page.
  busyLimitMs: 1000,
  filesDir: '/kanvo',
  windows: {},
  inputs: [],
  wakeUp: null,
  wakeTimer: null,
  resumedAt: 0,
  openMenu: null,
  fileSignature: '',
  // Set by every change to a file (watchFiles): the files are looked at again only then.
  filesTouched: true,
  syncing: false,
  syncAgain: false,
  // wakes: times the program resumed; runMs and longestRunMs: its time between waits, in
  // all and at most; firstFrameMs: when the first frame reached a canvas (after navigation).
  stats: { wakes: 0, runMs: 0, longestRunMs: 0, firstFrameMs: -1 },

  element: function (tag, className, text) {
    var e = document.createElement(tag);
    if (className) e.className = className;
    if (text !== undefined) e.textContent = text;
    return e;
  },

  notice: function (text, kind) {
    var box = document.getElementById('kanvo-notice');
    if (!box) return;
    box.textContent = text;
    box.className = kind || '';
    box.hidden = !text;
  },

  // ---- windows -------------------------------------------------------------------

  createWindow: function (id, className, title, width, height) {
    var w = this.windows[id];
    if (!w) {
      w = { id: id, menu: [] };
      w.frame = this.element('section', 'kanvo-window');
      w.frame.dataset.windowClass = className;
      w.frame.hidden = true;
      var caption = this.element('div', 'kanvo-caption', title);
      var close = this.element('button', 'kanvo-close', '\u00d7');
      close.type = 'button';
      close.title = 'Close';
      var page = this;
      // The close box asks the window's procedure, as on the desktop.
      close.addEventListener('click', function () { page.post([5, id]); });
      caption.appendChild(close);
      w.frame.appendChild(caption);
      w.menuBar = this.element('div', 'kanvo-menubar');
      w.menuBar.hidden = true;
      w.frame.appendChild(w.menuBar);
      w.canvas = this.element('canvas', 'kanvo-client');
      w.canvas.tabIndex = 0;
      w.canvas.dataset.window = id;
      w.frame.appendChild(w.canvas);
      this.listenForClicks(w);
      // Keys released elsewhere never reach the window: it learns that it lost the keys.
      w.canvas.addEventListener('blur', function () { page.post([6, id]); });
      document.getElementById('kanvo-windows').appendChild(w.frame);
      this.windows[id] = w;
    }
    w.canvas.width = width;
    w.canvas.height = height;
    w.frame.style.width = width + 'px';
    w.context = w.canvas.getContext('2d', { desynchronized: true });
  },

  showWindow: function (id, visible) {
    var w = this.windows[id];
    if (!w) return;
    w.frame.hidden = !visible;
    // Keys go to the first window shown, the drawing window, until the user clicks another.
    if (visible && !document.activeElement.dataset.window) w.canvas.focus();
  },

  destroyWindow: function (id) {
    var w = this.windows[id];
    if (w) w.frame.classList.add('kanvo-closed');
  },

  // The frame's RGBA bytes are in the program's memory at offset; only the rectangle x, y,
  // dx, dy changed since the last present. The image is a view onto that memory, made
  // again only when the frame moved or changed size, or the memory grew (which leaves old
  // views empty): a frame is neither copied nor allocated on its way to the canvas.
  present: function (id, memory, offset, width, height, x, y, dx, dy) {
    var w = this.windows[id];
    if (!w || !w.context || width <= 0 || height <= 0) return;
    var image = w.image;
    if (!image || image.data.buffer !== memory || w.imageOffset !== offset ||
        image.width !== width || image.height !== height) {
      image = w.image = new ImageData(
        new Uint8ClampedArray(memory, offset, width * height * 4), width, height);
      w.imageOffset = offset;
    }
    if (dx > 0 && dy > 0) w.context.putImageData(image, 0, 0, x, y, dx, dy);
    if (this.stats.firstFrameMs < 0) this.stats.firstFrameMs = performance.now();
  },

  // ---- the menu ------------------------------------------------------------------

  // "&Run" shows as Run with the R underlined; "&&" is a plain ampersand.
  menuLabel: function (text) {
    var label = this.element('span', 'kanvo-label');
    for (var i = 0; i < text.length; i++) {
      if (text[i] === '&' && i + 1 < text.length) {
        i++;
        if (text[i] !== '&') {
          label.appendChild(this.element('u', '', text[i]));
          continue;
        }
      }
      label.appendChild(document.createTextNode(text[i]));
    }
    return label;
  },

  setMenu: function (id, items) {
    var w = this.windows[id];
    if (!w) return;
    var wasOpen = this.openMenu && this.openMenu.window === id ? this.openMenu.index : -1;
    this.closeMenu();
    w.menu = items;
    w.menuBar.textContent = '';
    w.menuBar.hidden = items.length === 0;
    var page = this;
    items.forEach(function (item, index) {
      var title = page.element('button', 'kanvo-menu-title');
      title.type = 'button';
      title.appendChild(page.menuLabel(item.text));
      title.addEventListener('mousedown', function (event) {
        event.preventDefault();
        if (page.openMenu && page.openMenu.title === title) page.closeMenu();
        else page.showPopup(w, item, index, title);
      });
      w.menuBar.appendChild(title);
      if (index === wasOpen) page.showPopup(w, item, index, title);
    });
  },

  showPopup: function (w, item, index, title) {
    this.closeMenu();
    var popup = this.element('div', 'kanvo-popup');
    popup.setAttribute('role', 'menu');
    var page = this;
    var rows = [];  // the items that can be chosen, for the keyboard
    (item.items || []).forEach(function (entry) {
      if (entry.flags & 0x800) {
        popup.appendChild(page.element('hr', 'kanvo-separator'));
        return;
      }
      var row = page.element('div', 'kanvo-item');
      row.setAttribute('role', 'menuitem');
      row.dataset.id = entry.id;
      var tab = entry.text.indexOf('\t');
      var checked = (entry.flags & 8) !== 0;
      var grayed = (entry.flags & 1) !== 0;
      row.appendChild(page.element('span', 'kanvo-check', checked ? '\u2713' : ''));
      row.appendChild(page.menuLabel(tab < 0 ? entry.text : entry.text.slice(0, tab)));
      row.appendChild(page.element('span', 'kanvo-shortcut', tab < 0 ? '' : entry.text.slice(tab + 1)));
      if (checked) row.classList.add('kanvo-checked');
      if (grayed) row.classList.add('kanvo-grayed');
      row.setAttribute('aria-disabled', grayed ? 'true' : 'false');
      var choose = function () {
        page.closeMenu();
        page.post([4, w.id, entry.id]);
        w.canvas.focus();
      };
      row.addEventListener('mouseup', function (event) {
        event.preventDefault();
        if (!grayed) choose();
      });
      if (!grayed) rows.push({ row: row, mnemonic: page.mnemonic(entry.text), choose: choose });
      popup.appendChild(row);
    });
    title.classList.add('kanvo-open');
    popup.style.left = title.offsetLeft + 'px';
    w.menuBar.appendChild(popup);
    this.openMenu = { window: w.id, index: index, title: title, popup: popup, rows: rows, active: -1 };
  },

  // The letter after a single '&', upper case; '' for none.
  mnemonic: function (text) {
    var m = /(^|[^&])&([^&])/.exec(text);
    return m ? m[2].toUpperCase() : '';
  },

  // Keys for the menu, as on the desktop: Alt and a title's letter opens that menu; while
  // it is open, the arrows move, Enter chooses, an item's letter chooses it, Escape closes,
  // and no key reaches the program. True when the key was the menu's.
  menuKey: function (event) {
    var open = this.openMenu;
    if (open) {
      var count = open.rows.length;
      var letter = event.key.length === 1 ? event.key.toUpperCase() : '';
      if (event.key === 'Escape') {
        this.closeMenu();
        this.windows[open.window].canvas.focus();
      } else if ((event.key === 'ArrowDown' || event.key === 'ArrowUp') && count > 0) {
        if (open.active >= 0) open.rows[open.active].row.classList.remove('kanvo-active');
        var step = event.key === 'ArrowDown' ? 1 : count - 1;
        open.active = open.active < 0 ? (step === 1 ? 0 : count - 1) : (open.active + step) % count;
        open.rows[open.active].row.classList.add('kanvo-active');
      } else if (event.key === 'Enter' && open.active >= 0) {
        open.rows[open.active].choose();
      } else if (letter) {
        var match = open.rows.filter(function (r) { return r.mnemonic === letter; })[0];
        if (match) match.choose();
      }
      return true;
    }
    if (!event.altKey || event.ctrlKey || !/^Key[A-Z]$/.test(event.code)) return false;
    var wanted = event.code.slice(3);
    for (var id in this.windows) {
      var w = this.windows[id];
      for (var i = 0; i < w.menu.length; i++) {
        if (w.menu[i].items && this.mnemonic(w.menu[i].text) === wanted) {
          this.showPopup(w, w.menu[i], i, w.menuBar.children[i]);
          return true;
        }
      }
    }
    return false;
  },

  closeMenu: function () {
    if (!this.openMenu) return;
    this.openMenu.title.classList.remove('kanvo-open');
    this.openMenu.popup.remove();
    this.openMenu = null;
  },

  // Whether the menu item with this command id shows its check mark.
  isChecked: function (commandId) {
    var found = false;
    function walk(items) {
      items.forEach(function (item) {
        if (item.items) walk(item.items);
        else if (item.id === commandId && (item.flags & 8)) found = true;
      });
    }
    for (var id in this.windows) walk(this.windows[id].menu);
    return found;
  },

  // ---- input ---------------------------------------------------------------------

  post: function (input) {
    // A move replaces one still waiting for the same window: a fast mouse never floods.
    if (input[0] === 9) {
      this.inputs = this.inputs.filter(function (i) { return i[0] !== 9 || i[1] !== input[1]; });
    }
    this.inputs.push(input);
    if (this.wakeUp) this.resume();
  },

  // What the program in window id asked for beyond the usual input: 1 motion, 2 every
  // button, 4 every key, 8 the wheel.
  wanted: {},
  inputWanted: function (id, wanted) {
    this.wanted[id] = wanted;
  },

  clientPoint: function (w, event) {
    var box = w.canvas.getBoundingClientRect();
    return [Math.floor((event.clientX - box.left) * w.canvas.width / box.width),
            Math.floor((event.clientY - box.top) * w.canvas.height / box.height)];
  },

  // DOM buttons 0 left, 1 middle, 2 right; the platform's 1 left, 2 right, 3 middle.
  platformButton: function (domButton) {
    return [1, 3, 2][domButton] || 0;
  },

  // Every button going down and up, and the pointer's motion, are reported; the program
  // takes what it listens for. A button released outside the canvas still comes up there.
  listenForClicks: function (w) {
    var page = this;
    w.canvas.addEventListener('mousedown', function (event) {
      page.closeMenu();
      var button = page.platformButton(event.button);
      if (!button) return;
      if (button === 1 || (page.wanted[w.id] & 2)) event.preventDefault();
      w.canvas.focus();
      var at = page.clientPoint(w, event);
      if (button === 1) page.post([1, w.id, at[0], at[1]]);
      else page.post([7, w.id, button, at[0], at[1]]);
      page.pressedIn = w;
    });
    // Motion only for a program that listens for it, or during a drag: it would only wake
    // the program for nothing.
    w.canvas.addEventListener('mousemove', function (event) {
      if (!(page.wanted[w.id] & 1) && !page.pressedIn) return;
      if (page.pressedIn && page.pressedIn !== w) return;
      var at = page.clientPoint(w, event);
      page.post([9, w.id, at[0], at[1]]);
    });
    // The context menu stays closed on a right click the program listens for.
    w.canvas.addEventListener('contextmenu', function (event) {
      if (page.wanted[w.id] & 2) event.preventDefault();
    });
    w.canvas.addEventListener('wheel', function (event) {
      if (!(page.wanted[w.id] & 8)) return;
      event.preventDefault();
      // 120 a notch, positive away from the user, as the desktop reports it: a notch
      // scrolls 100 pixels, 3 lines or a page.
      var perUnit = [1.2, 40, 120][event.deltaMode] || 1.2;
      var distance = -event.deltaY * perUnit;
      if (!distance) return;
      var at = page.clientPoint(w, event);
      page.post([10, w.id, Math.round(distance), at[0], at[1]]);
    }, { passive: false });
  },

  listenForReleases: function () {
    var page = this;
    document.addEventListener('mouseup', function (event) {
      var w = page.pressedIn;
      if (event.buttons === 0) page.pressedIn = null;
      var button = page.platformButton(event.button);
      if (!w || !button) return;
      var at = page.clientPoint(w, event);
      page.post([8, w.id, button, at[0], at[1]]);
    });
    // A drag that leaves the canvas goes on reporting where the pointer is.
    document.addEventListener('mousemove', function (event) {
      var w = page.pressedIn;
      if (!w || event.target === w.canvas) return;
      var at = page.clientPoint(w, event);
      page.post([9, w.id, at[0], at[1]]);
    });
  },

  keyCodes: {
    Backspace: 8, Tab: 9, Enter: 13, NumpadEnter: 13, ShiftLeft: 16, ShiftRight: 16,
    ControlLeft: 17, ControlRight: 17, AltLeft: 18, AltRight: 18, Pause: 19, CapsLock: 20,
    Escape: 27, Space: 32, PageUp: 33, PageDown: 34, End: 35, Home: 36, ArrowLeft: 37,
    ArrowUp: 38, ArrowRight: 39, ArrowDown: 40, PrintScreen: 44, Insert: 45, Delete: 46,
    MetaLeft: 91, MetaRight: 92, ContextMenu: 93, NumpadMultiply: 106, NumpadAdd: 107,
    NumpadSubtract: 109, NumpadDecimal: 110, NumpadDivide: 111, NumLock: 144,
    ScrollLock: 145, Semicolon: 0xBA, Equal: 0xBB, Comma: 0xBC, Minus: 0xBD, Period: 0xBE,
    Slash: 0xBF, Backquote: 0xC0, BracketLeft: 0xDB, Backslash: 0xDC, BracketRight: 0xDD,
    Quote: 0xDE,
  },

  // The virtual-key code of a key: letters by their upper-case code whatever the Shift
  // state, digits, keypad digits 96..105, F1..F12 112..123.
  virtualKey: function (event) {
    var code = event.code || '';
    var m;
    if ((m = /^Key([A-Z])$/.exec(code))) return m[1].charCodeAt(0);
    if ((m = /^Digit([0-9])$/.exec(code))) return m[1].charCodeAt(0);
    if ((m = /^Numpad([0-9])$/.exec(code))) return 96 + Number(m[1]);
    if ((m = /^F([0-9]+)$/.exec(code)) && Number(m[1]) >= 1 && Number(m[1]) <= 24) return 111 + Number(m[1]);
    if (this.keyCodes[code]) return this.keyCodes[code];
    return event.keyCode || 0;
  },

  // The Latin-1 character a key press types, 0 for none; with Ctrl a letter gives its
  // control character 1..26.
  keyCharacter: function (event, vk) {
    if (event.ctrlKey) return vk >= 65 && vk <= 90 ? vk - 64 : 0;
    if (event.altKey || event.metaKey) return 0;
    var named = { Enter: 13, Backspace: 8, Tab: 9, Escape: 27 };
    if (named[event.key]) return named[event.key];
    if (event.key && event.key.length === 1) {
      var c = event.key.charCodeAt(0);
      return c <= 255 ? c : 0;
    }
    return 0;
  },

  // Keys typed anywhere on the page belong to the program (the text window passes them
  // on to the drawing window), except in the page's own controls and where the browser
  // must keep them: Alt and Meta combinations, F5 (reload) and F12 (developer tools).
  listenForKeys: function () {
    var page = this;
    function target() {
      var active = document.activeElement;
      if (active && active.dataset && active.dataset.window) return Number(active.dataset.window);
      if (active && /^(INPUT|BUTTON|A|SELECT|TEXTAREA)$/.test(active.tagName)) return 0;
      for (var id in page.windows) return Number(id);
      return 0;
    }
    function handle(event, down) {
      if (down && page.menuKey(event)) {
        event.preventDefault();
        return;
      }
      var id = target();
      if (!id) return;
      var vk = page.virtualKey(event);
      if (!vk) return;
      if (!event.altKey && !event.metaKey && vk !== 116 && vk !== 123) event.preventDefault();
      var ctrl = event.ctrlKey ? 1 : 0;
      if (down) page.post([2, id, vk, page.keyCharacter(event, vk), event.repeat ? 1 : 0, ctrl]);
      else page.post([3, id, vk, ctrl]);
    }
    document.addEventListener('keydown', function (event) { handle(event, true); });
    document.addEventListener('keyup', function (event) { handle(event, false); });
    document.addEventListener('mousedown', function (event) {
      var open = page.openMenu;
      if (open && !open.popup.contains(event.target) && !open.title.contains(event.target))
        page.closeMenu();
    });
  },

  // ---- the wait ------------------------------------------------------------------

  // The program waits: it resumes on the next input, or after timeoutMs (negative: never).
  sleep: function (timeoutMs, wakeUp) {
    var ranMs = performance.now() - this.resumedAt;
    this.stats.runMs += ranMs;
    this.stats.longestRunMs = Math.max(this.stats.longestRunMs, ranMs);
    if (ranMs > this.busyLimitMs) this.reportBusy(ranMs);
    this.filesChanged();
    this.wakeUp = wakeUp;
    if (this.inputs.length > 0) {
      this.wakeTimer = setTimeout(this.resume.bind(this), 0);
    } else if (timeoutMs >= 0) {
      this.wakeTimer = setTimeout(this.resume.bind(this), timeoutMs);
    }
  },

  resume: function () {
    var wakeUp = this.wakeUp;
    if (!wakeUp) return;
    this.wakeUp = null;
    clearTimeout(this.wakeTimer);
    this.wakeTimer = null;
    this.stats.wakes++;
    this.resumedAt = performance.now();
    wakeUp();
    // The program neither waits again nor is suspended: its main has returned, which
    // under Asyncify ends no runtime by itself.
    if (!this.wakeUp && !Asyncify.currData) this.programEnded();
  },

  programEnded: function () {
    if (this.ended) return;
    this.ended = true;
    this.closeMenu();
    this.filesChanged();
    document.body.classList.add('kanvo-ended');
    this.notice('The program has ended. Reload the page to start it again.', 'kanvo-info');
  },

  reportBusy: function (ranMs) {
    this.notice('The program ran for ' + (ranMs / 1000).toFixed(1) + ' s without waiting for ' +
      'an event, so the page could neither show its drawing nor take input meanwhile. ' +
      'In the browser a program must draw, then wait: call KANVO_await_event in its main ' +
      'loop, and keep the work between two waits short.', 'kanvo-warning');
  },

  // ---- files ---------------------------------------------------------------------

  // Every call that changes a file, whoever makes it (the program's writes, renames and
  // removals, the page's own loads), marks the files as touched, so a wait with nothing
  // written costs no look at them. Writes to the console are not files.
  watchFiles: function () {
    var page = this;
    ['mknod', 'symlink', 'rename', 'rmdir', 'unlink', 'truncate', 'utime', 'write',
     'allocate', 'msync'].forEach(function (name) {
      var original = FS[name];
      if (typeof original !== 'function') return;
      FS[name] = function (stream) {
        if (name !== 'write' || !stream || !stream.node || FS.isFile(stream.node.mode))
          page.filesTouched = true;
        return original.apply(this, arguments);
      };
    });
  },

  mountFiles: function () {
    var page = this;
    this.watchFiles();
    FS.mkdir(this.filesDir);
    FS.mount(IDBFS, {}, this.filesDir);
    FS.chdir(this.filesDir);
    addRunDependency('kanvo-files');
    FS.syncfs(true, function (error) {
      if (error) page.notice('Files kept from earlier visits could not be read: ' + error, 'kanvo-warning');
      page.addPackedFiles();
      page.markChangedFiles(page.listFiles());
      page.showFiles();
      // After the kept files are back, so that they do not replace the linked script.
      page.playFromLink();
      removeRunDependency('kanvo-files');
    });
  },

  // Files a page is built with (--embed-file FILE@/kanvo-packed/NAME, such as an example's
  // pictures) join the program's files, unless the visitor already has one by that name.
  packedDir: '/kanvo-packed',
  addPackedFiles: function () {
    var page = this;
    var names;
    try { names = FS.readdir(this.packedDir); } catch (error) { return; }
    names.forEach(function (name) {
      if (name === '.' || name === '..') return;
      var target = page.filesDir + '/' + name;
      if (FS.analyzePath(target).exists) return;
      FS.writeFile(target, FS.readFile(page.packedDir + '/' + name));
    });
  },

  listFiles: function () {
    var dir = this.filesDir;
    var files = [];
    FS.readdir(dir).forEach(function (name) {
      if (name === '.' || name === '..') return;
      var stat = FS.stat(dir + '/' + name);
      if (FS.isFile(stat.mode)) files.push({ name: name, size: stat.size, mtime: +stat.mtime });
    });
    return files.sort(function (a, b) { return a.name < b.name ? -1 : 1; });
  },

  // Called at every wait: when the program changed its files, keep them and list them.
  filesChanged: function () {
    this.giveBackOwnScript();
    if (!this.filesTouched) return;
    var files = this.listFiles();
    var signature = files.map(function (f) { return f.name + f.size + f.mtime; }).join();
    if (signature !== this.fileSignature) {
      this.fileSignature = signature;
      this.markChangedFiles(files);
      this.showFiles();
      this.keepFiles();
    }
    // After markChangedFiles, whose new times are already in the signature.
    this.filesTouched = false;
  },

  // IndexedDB takes a file only when its time differs from the kept copy's; a file written
  // again within the same millisecond gets a later time so that the change is not lost.
  markChangedFiles: function (files) {
    var kept = this.keptFiles || {};
    var dir = this.filesDir;
    this.keptFiles = {};
    var page = this;
    files.forEach(function (file) {
      var before = kept[file.name];
      if (before && before.size !== file.size && before.mtime >= file.mtime) {
        file.mtime = before.mtime + 1;
        FS.utime(dir + '/' + file.name, file.mtime, file.mtime);
      }
      page.keptFiles[file.name] = { size: file.size, mtime: file.mtime };
    });
    this.fileSignature = files.map(function (f) { return f.name + f.size + f.mtime; }).join();
  },

  keepFiles: function () {
    var page = this;
    // While a linked script stands in for the learner's own KANVO.SCR, nothing is kept, so
    // that theirs is still the kept one after a reload.
    if (this.ownScript) return;
    if (this.syncing) {
      this.syncAgain = true;
      return;
    }
    this.syncing = true;
    FS.syncfs(false, function (error) {
      page.syncing = false;
      if (error) page.notice('Files could not be kept in the browser: ' + error, 'kanvo-warning');
      if (page.syncAgain) {
        page.syncAgain = false;
        page.keepFiles();
      }
    });
  },

  showFiles: function () {
    var list = document.getElementById('kanvo-file-list');
    if (!list) return;
    var page = this;
    list.textContent = '';
    var files = this.listFiles();
    if (files.length === 0) list.appendChild(this.element('li', 'kanvo-none', 'none yet'));
    files.forEach(function (file) {
      var item = page.element('li');
      var link = page.element('a', '', file.name);
      link.download = file.name;
      link.href = '#';
      // The link carries the file as it is when clicked.
      link.addEventListener('click', function () {
        if (link.dataset.url) URL.revokeObjectURL(link.dataset.url);
        var data = FS.readFile(page.filesDir + '/' + file.name);
        link.dataset.url = URL.createObjectURL(new Blob([data]));
        link.href = link.dataset.url;
      });
      item.appendChild(link);
      item.appendChild(document.createTextNode(' (' + file.size + ' bytes)'));
      list.appendChild(item);
    });
  },

  scriptName: 'KANVO.SCR',
  largestScript: 16 * 1024 * 1024,

  // A script the user hands over becomes the program's KANVO.SCR, ready for playback.
  loadScript: function (file) {
    var page = this;
    if (!file) return;
    if (/\.png$/i.test(file.name)) {
      this.loadPicture(file);
      return;
    }
    if (this.isChecked(5) || this.isChecked(6)) {
      this.notice('Not loaded: a script is being recorded or played back. Stop it first ' +
        '(Record Script or Playback Script in the Run menu).', 'kanvo-warning');
      return;
    }
    if (file.size > this.largestScript) {
      this.notice('Not loaded: ' + file.name + ' is ' + file.size + ' bytes, more than a ' +
        'script of ' + this.largestScript + ' bytes this page accepts.', 'kanvo-warning');
      return;
    }
    var reader = new FileReader();
    reader.onload = function () {
      try {
        FS.writeFile(page.filesDir + '/' + page.scriptName, new Uint8Array(reader.result));
      } catch (error) {
        page.notice('Not loaded: ' + file.name + ' could not be written: ' + error, 'kanvo-warning');
        return;
      }
      page.notice('Loaded ' + file.name + ' as ' + page.scriptName + ': choose Playback Script ' +
        '(Ctrl+P) or Play One Script (Ctrl+O) in the Run menu.', 'kanvo-info');
      page.filesChanged();
    };
    reader.onerror = function () {
      page.notice('Not loaded: ' + file.name + ' could not be read.', 'kanvo-warning');
    };
    reader.readAsArrayBuffer(file);
  },

  // A PNG file the user hands over keeps its name among the program's files, where
  // KANVO_load_picture finds it.
  loadPicture: function (file) {
    var page = this;
    var name = file.name.replace(/[\/\\]/g, '_');
    if (file.size > this.largestScript) {
      this.notice('Not loaded: ' + file.name + ' is ' + file.size + ' bytes, more than the ' +
        this.largestScript + ' bytes this page accepts.', 'kanvo-warning');
      return;
    }
    var reader = new FileReader();
    reader.onload = function () {
      try {
        FS.writeFile(page.filesDir + '/' + name, new Uint8Array(reader.result));
      } catch (error) {
        page.notice('Not loaded: ' + file.name + ' could not be written: ' + error, 'kanvo-warning');
        return;
      }
      page.notice('Loaded ' + name + ': the program can load it with KANVO_load_picture("' +
        name + '").', 'kanvo-info');
      page.filesChanged();
    };
    reader.onerror = function () {
      page.notice('Not loaded: ' + file.name + ' could not be read.', 'kanvo-warning');
    };
    reader.readAsArrayBuffer(file);
  },

  listenForFiles: function () {
    var page = this;
    var picker = document.getElementById('kanvo-load-script');
    if (picker) {
      picker.addEventListener('change', function () {
        page.loadScript(picker.files[0]);
        picker.value = '';
      });
    }
    document.addEventListener('dragover', function (event) { event.preventDefault(); });
    document.addEventListener('drop', function (event) {
      event.preventDefault();
      if (event.dataTransfer && event.dataTransfer.files.length > 0) page.loadScript(event.dataTransfer.files[0]);
    });
  },

  // Only a file served beside the page is played: a plain name, no other folder, origin
  // or kind of address.
  isNameBesidePage: function (name) {
    if (!/^[A-Za-z0-9_][A-Za-z0-9._-]{0,254}$/.test(name)) return false;
    var url = new URL(name, window.location.href);
    var page = new URL('.', window.location.href);
    return url.origin === page.origin && url.pathname === page.pathname + name;
  },

  // The learner's own KANVO.SCR comes back when the linked script has been played.
  giveBackOwnScript: function () {
    if (!this.ownScript) return;
    if (this.isChecked(6)) {
      this.linkedScriptPlaying = true;
      return;
    }
    if (!this.linkedScriptPlaying) return;
    FS.writeFile(this.filesDir + '/' + this.scriptName, this.ownScript);
    this.ownScript = null;
    this.fileSignature = '';
    this.filesTouched = true;
  },

  // A link to page.html?play=NAME plays the script NAME, served beside the page, from the
  // program's first wait on: a recorded session shared as a link. A KANVO.SCR of the
  // learner's own, kept from earlier visits, is kept: it comes back after the playback.
  playFromLink: function () {
    var name = new URLSearchParams(window.location.search).get('play');
    if (!name) return;
    var page = this;
    if (!this.isNameBesidePage(name)) {
      this.notice('Not played: ' + name + ' is not the name of a script served beside this page.',
        'kanvo-warning');
      return;
    }
    var tooLarge = function (size) {
      return new Error(name + ' is ' + size + ' bytes, more than a script of ' + page.largestScript +
        ' bytes this page accepts');
    };
    addRunDependency('kanvo-play');
    fetch(name).then(function (response) {
      if (!response.ok) throw new Error(response.status + ' ' + response.statusText);
      var announced = Number(response.headers.get('Content-Length'));
      if (announced > page.largestScript) throw tooLarge(announced);
      return response.arrayBuffer();
    }).then(function (data) {
      if (data.byteLength > page.largestScript) throw tooLarge(data.byteLength);
      var path = page.filesDir + '/' + page.scriptName;
      var linked = new Uint8Array(data);
      if (FS.analyzePath(path).exists) {
        var own = FS.readFile(path);
        var same = own.length === linked.length && own.every(function (b, i) { return b === linked[i]; });
        if (!same) page.ownScript = own;
      }
      FS.writeFile(path, linked);
      page.fileSignature = '';
      page.filesTouched = true;
      // Playback Script, chosen in the drawing window (the first one opened).
      page.inputs.push([4, 1, 6]);
    }).catch(function (error) {
      // A page opened from disk may not read the files beside it.
      var fromDisk = window.location.protocol === 'file:' ?
        ' A page opened from disk cannot fetch it: load it with "Load a script for playback"' +
        ' below, or serve the folder (python3 -m http.server) and open the page from there.' : '';
      page.notice('The script ' + name + ' could not be loaded: ' + error.message + '.' + fromDisk,
                  'kanvo-warning');
    }).finally(function () {
      removeRunDependency('kanvo-play');
    });
  },

  // ---- the program's life --------------------------------------------------------

  // The licences travel inside the page (/licences in its file system): the link shows them.
  showLicences: function () {
    var shown = document.getElementById('kanvo-licence-text');
    if (!shown) return;
    if (!shown.hidden) {
      shown.hidden = true;
      return;
    }
    var text = '';
    try {
      FS.readdir('/licences').filter(function (name) { return name[0] !== '.'; }).sort()
        .forEach(function (name) {
          text += '==== ' + name + ' ====\n\n' + FS.readFile('/licences/' + name, {encoding: 'utf8'}) + '\n';
        });
    } catch (error) {
      text = 'The licences could not be read: ' + error;
    }
    shown.textContent = text;
    shown.hidden = false;
  },

  start: function () {
    var page = this;
    this.listenForKeys();
    this.listenForReleases();
    this.listenForFiles();
    var licences = document.getElementById('kanvo-licences');
    if (licences) licences.addEventListener('click', function (event) {
      event.preventDefault();
      page.showLicences();
    });
    // page.html?arg=A&arg=B starts the program with those arguments.
    var args = new URLSearchParams(window.location.search).getAll('arg');
    if (args.length > 0) Module.arguments = args;
    Module.preRun = [].concat(Module.preRun || [], function () {
      page.mountFiles();
    });
    Module.onRuntimeInitialized = function () {
      page.resumedAt = performance.now();
    };
    Module.onExit = function () { page.programEnded(); };
    Module.onAbort = function (what) {
      page.notice('The program stopped with an error: ' + what, 'kanvo-warning');
    };
  },
};

KanvoPage.start();
Module.kanvoPage = KanvoPage;
