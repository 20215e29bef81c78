// The page around the WebAssembly build of the tarnel C library: files come
// in through the pickers or by drag and drop, each is decoded in the module
// into RGBA pixels (the layout of canvas ImageData) and drawn on a canvas of
// the picture's own size (320 x 200 for the twenty C64 picture layouts; a
// character set, a CharPad map or a SpritePad sheet has the size its file
// gives), which CSS scales by a whole factor with nearest-neighbour pixels
// and, for the C64's pixel shape, narrows. Each file's name goes to the
// library with its bytes: the formats whose files carry no signature (.64c
// character sets, Logo Painter, sprite banks, ...) open by their extension.
// The frame control shows the blend of an interlaced picture, either frame,
// or both frames alternately, one each display frame, as a C64 shows them
// ("flicker"); the border control decodes a 320 x 200 picture inside the
// C64's border (384 x 272) and leaves pictures of other sizes as they are;
// the view control draws it as stored or as a C64 shows it (the FLI
// layouts' leftmost 24 pixels, Drazlace's pixel shift). A file whose bytes
// pass other formats' own tests (saved at another load address, or without
// one, a format opened only on request, such as Hires Manager, whose files
// look like AFLI's, or a character set under a name that does not say so)
// offers those formats under "Open as…", refused or shown, and is then
// decoded as the one chosen. Character screens (PETSCII) that carry no glyphs
// of their own are drawn with the character set the user loads ("Load
// character set…": a 4,096-byte character ROM or one 2,048-byte set), handed
// to the library with every file; the module has no file system, so the
// library finds none of its own here. The set is kept in the page's
// localStorage only while "Remember this character set" is ticked. A file of
// several screens (a Petmate project) gets a "Screen" number on its card.
'use strict';

(function () {
  const WIDTH = 320;
  const HEIGHT = 200;
  const MAX_FILE_SIZE = 8388608; // TARNEL_MAX_ANY_FILE_SIZE
  const TARNEL_OK = 0;
  const TARNEL_RGBA32 = 2;
  const EXPLAIN_BYTES = 1024; // the library's longest words (no character set) fit
  // Offsets in the library's records (wasm32); web/abi_check.cpp holds the
  // build to them. The options record is 1.3's, which opens every format.
  const DECODE_OPTIONS_BYTES = 108;
  const DECODE_OPTIONS_PIXEL_FORMAT = 4;
  const DECODE_OPTIONS_USE_PALETTE = 8;
  const DECODE_OPTIONS_PALETTE = 12;
  const DECODE_OPTIONS_FRAME = 60;
  const DECODE_OPTIONS_BORDER = 64;
  const DECODE_OPTIONS_LAYOUT = 72;
  const DECODE_OPTIONS_VIEW = 76;
  const DECODE_OPTIONS_FILE_NAME = 80;
  const DECODE_OPTIONS_CHARSET = 84;
  const DECODE_OPTIONS_CHARSET_SIZE = 88;
  const INFO_EX_BYTES = 324;
  const INFO_EX_INFO = 4;
  const INFO_EX_FRAME_COUNT = 36;
  const INFO_EX_OUTPUT_WIDTH = 40;
  const INFO_EX_OUTPUT_HEIGHT = 44;
  const INFO_EX_CHOSEN = 48;
  const INFO_EX_HEADERLESS = 52;
  const INFO_EX_CHARSET_SOURCE = 60;
  const INFO_EX_CHARSET_CASE = 64;
  const INFO_LAYOUT = 0; // in tarnel_info, at INFO_EX_INFO
  const INFO_NAME = 4;
  const INFO_PACKED = 8;
  const INFO_INTERLACED = 12;
  const FORMAT_BYTES = 28;
  const FORMAT_CODE = 0;
  const FORMAT_SHORT_NAME = 4;
  const FORMAT_NAME = 8;
  const FORMAT_EXTENSIONS = 12;
  const FORMAT_FOUND_BY = 20;
  const FOUND_BY = {1: 'content', 2: 'name', 3: 'request'}; // TARNEL_FOUND_BY_*
  const TARNEL_E_NO_CHARSET = -8;
  const TARNEL_FRAMES = {blend: 0, 0: 1, 1: 2}; // tarnel_frame values
  const TARNEL_FRAME_BLEND = 0;
  const frameAt = (n) => n + 1; // TARNEL_FRAME_AT
  // TARNEL_CHARSET_NONE, _FILE and _CALLER; TARNEL_CHARSET_LOWER.
  const CHARSET_NONE = 0;
  const CHARSET_FILE = 1;
  const CHARSET_CALLER = 2;
  const CHARSET_LOWER = 1;
  // A whole character ROM (both sets) or one set.
  const CHARSET_SIZES = [4096, 2048];
  const CHARSET_STORAGE_KEY = 'tarnel.charset';
  const TARNEL_BORDER_FULL = 1;
  const BORDERED_WIDTH = 384; // TARNEL_BORDER_WIDTH
  const BORDERED_HEIGHT = 272; // TARNEL_BORDER_HEIGHT
  const TARNEL_VIEWS = {stored: 0, c64: 1}; // tarnel_view values
  // A pixel's width for its height: square, PAL and NTSC (VICE's figures).
  const ASPECTS = {square: 1, pal: 0.9365, ntsc: 0.75};

  const $ = (id) => document.getElementById(id);
  const fileInput = $('file-input');
  const folderInput = $('folder-input');
  const pickFiles = $('pick-files');
  const pickFolder = $('pick-folder');
  const clearButton = $('clear');
  const paletteSelect = $('palette');
  const swatch = $('swatch');
  const paletteCredit = $('palette-credit');
  const scaleSelect = $('scale');
  const frameSelect = $('frame');
  const shapeSelect = $('shape');
  const borderToggle = $('border');
  const viewSelect = $('view');
  const viewNote = $('view-note');
  const dropZone = $('drop-zone');
  const status = $('status');
  const picturesSection = $('pictures');
  const formatTable = $('format-table');
  const charsetInput = $('charset-input');
  const pickCharset = $('pick-charset');
  const rememberCharset = $('remember-charset');
  const charsetName = $('charset-name');

  let decoder = null; // set once the module has loaded
  let palettes = [];
  const pictures = []; // {name, size, bytes, figure, layout (0: by content)}
  let pending = 0; // files being read
  let charset = null; // {name, bytes}: the set character screens are drawn with

  // ---- The module -------------------------------------------------------

  // One decoder and the buffers the page shares with the module, made once
  // and reused for every file; the pixel buffer grows with the largest
  // picture drawn.
  function makeDecoder(m) {
    const handle = m._tarnel_decoder_new();
    const data = m._malloc(MAX_FILE_SIZE);
    const options = m._malloc(DECODE_OPTIONS_BYTES);
    const info = m._malloc(Math.max(INFO_EX_BYTES, FORMAT_BYTES));
    const text = m._malloc(EXPLAIN_BYTES);
    if (!handle || !data || !options || !info || !text) {
      throw new Error('the decoder could not get its memory');
    }
    let pixels = 0;
    let pixelBytes = 0;
    let charsetAddress = 0; // the user's character set in the module's memory
    let charsetSize = 0;
    // The module's memory grows, and each growth makes a new buffer: every
    // read and write takes the current one.
    const int32 = (address) => new DataView(m.HEAPU8.buffer).getInt32(address, true);
    const setInt32 = (address, value) =>
      new DataView(m.HEAPU8.buffer).setInt32(address, value, true);
    const encoder = new TextEncoder();

    // Room for `bytes` bytes of pixels, or false when the module has none.
    function pixelRoom(bytes) {
      if (bytes <= pixelBytes) return true;
      if (pixels) m._free(pixels);
      pixels = m._malloc(bytes);
      pixelBytes = pixels ? bytes : 0;
      return pixels !== 0;
    }

    // Runs `body` with the file's name as a C string in the module's memory
    // (0 when it could not be had: the bytes alone then decide), freed after.
    function withName(fileName, body) {
      const encoded = encoder.encode(fileName);
      const name = m._malloc(encoded.length + 1);
      if (name) {
        m.HEAPU8.set(encoded, name);
        m.HEAPU8[name + encoded.length] = 0;
      }
      try {
        return body(name);
      } finally {
        if (name) m._free(name);
      }
    }

    // The character set every decode is given from now on (null: none);
    // false when the module has no memory for it.
    function setCharset(bytes) {
      if (charsetAddress) m._free(charsetAddress);
      charsetAddress = 0;
      charsetSize = 0;
      if (bytes === null) return true;
      charsetAddress = m._malloc(bytes.length);
      if (!charsetAddress) return false;
      m.HEAPU8.set(bytes, charsetAddress);
      charsetSize = bytes.length;
      return true;
    }

    // A 1.3 options record with the defaults, the file's name, the
    // caller's layout (0: found from the bytes) and the user's character
    // set, if any.
    function initOptions(name, layout) {
      m._tarnel_decode_options_init_ex(options, DECODE_OPTIONS_BYTES);
      setInt32(options + DECODE_OPTIONS_FILE_NAME, name);
      setInt32(options + DECODE_OPTIONS_LAYOUT, layout);
      setInt32(options + DECODE_OPTIONS_CHARSET, charsetAddress);
      setInt32(options + DECODE_OPTIONS_CHARSET_SIZE, charsetSize);
    }

    function paletteList() {
      const list = [];
      const count = m._tarnel_palette_count();
      for (let index = 0; index < count; ++index) {
        m._tarnel_palette_colours(index, options + DECODE_OPTIONS_PALETTE);
        const bytes = m.HEAPU8.subarray(options + DECODE_OPTIONS_PALETTE,
                                        options + DECODE_OPTIONS_PALETTE + 48);
        const colours = [];
        for (let n = 0; n < 16; ++n) colours.push([bytes[3 * n], bytes[3 * n + 1], bytes[3 * n + 2]]);
        list.push({
          name: m.UTF8ToString(m._tarnel_palette_name(index)),
          credit: m.UTF8ToString(m._tarnel_palette_credit(index)),
          colours,
        });
      }
      return list;
    }

    // The library's format table: code, short name, name, extensions and
    // how its files are found ('content', 'name' or 'request').
    function formatList() {
      const list = [];
      const count = m._tarnel_format_count();
      for (let index = 0; index < count; ++index) {
        if (m._tarnel_format_at(index, info) !== TARNEL_OK) continue;
        list.push({
          code: int32(info + FORMAT_CODE),
          shortName: m.UTF8ToString(int32(info + FORMAT_SHORT_NAME)),
          name: m.UTF8ToString(int32(info + FORMAT_NAME)),
          extensions: m.UTF8ToString(int32(info + FORMAT_EXTENSIONS)),
          foundBy: FOUND_BY[int32(info + FORMAT_FOUND_BY)] || 'content',
        });
      }
      return list;
    }

    // The formats (code and name) of the library's table whose own test
    // takes `bytes` (of the file named `fileName`) when the caller names
    // the format: layouts with their load address in the first two bytes or
    // put before them, and the formats beyond the twenty whatever the name.
    function fittingFormats(bytes, fileName) {
      const list = [];
      if (bytes === null) return list;
      m.HEAPU8.set(bytes, data);
      const formats = formatList();
      return withName(fileName, (name) => {
        for (const {code, name: formatName} of formats) {
          initOptions(name, code);
          setInt32(info, INFO_EX_BYTES);
          if (m._tarnel_identify_ex(data, bytes.length, options, info) === TARNEL_OK) {
            list.push({code, name: formatName});
          }
        }
        return list;
      });
    }

    // Decodes `bytes` (null for a file above the size limit, which is never
    // read) of the file named `fileName` of `fileSize` bytes as format
    // `layout` (0: found from the bytes and the name) with palette
    // `paletteIndex` (0: the library's own), frame `frame` ('blend', '0' or
    // '1') of an interlaced picture or screen `screen` (from 0) of a file of
    // several, with or without the border, and view `view` ('stored' or
    // 'c64'). Gives the picture, at the size the library says, or the
    // library's reason for refusing.
    function decode(bytes, fileName, fileSize, layout, paletteIndex, frame, border, view,
                    screen) {
      // size_t is 32 bits in the module; larger sizes are refused all the same.
      const sizeArgument = Math.min(fileSize, 0xffffffff);
      if (bytes !== null) m.HEAPU8.set(bytes, data);
      return withName(fileName, (name) => {
        initOptions(name, layout);
        setInt32(options + DECODE_OPTIONS_PIXEL_FORMAT, TARNEL_RGBA32);
        if (paletteIndex > 0) {
          setInt32(options + DECODE_OPTIONS_USE_PALETTE, 1);
          m._tarnel_palette_colours(paletteIndex, options + DECODE_OPTIONS_PALETTE);
        }
        if (border) setInt32(options + DECODE_OPTIONS_BORDER, TARNEL_BORDER_FULL);
        setInt32(options + DECODE_OPTIONS_VIEW, TARNEL_VIEWS[view]);
        // The picture's size first: the library's limits keep it at most
        // 16,777,216 pixels. The frame control picks an interlaced picture's
        // frame; a file of several screens shows the one asked for (the
        // last when it holds fewer), and may give each its own size.
        setInt32(info, INFO_EX_BYTES);
        let result = m._tarnel_identify_ex(data, sizeArgument, options, info);
        if (result === TARNEL_OK) {
          const frames = int32(info + INFO_EX_FRAME_COUNT);
          const interlaced = int32(info + INFO_EX_INFO + INFO_INTERLACED) !== 0;
          const wanted = interlaced ? TARNEL_FRAMES[frame]
                       : frames > 1 ? frameAt(Math.min(screen || 0, frames - 1))
                                    : TARNEL_FRAME_BLEND;
          if (wanted !== TARNEL_FRAME_BLEND) {
            setInt32(options + DECODE_OPTIONS_FRAME, wanted);
            setInt32(info, INFO_EX_BYTES);
            result = m._tarnel_identify_ex(data, sizeArgument, options, info);
          }
        }
        const width = result === TARNEL_OK ? int32(info + INFO_EX_OUTPUT_WIDTH) : 0;
        const height = result === TARNEL_OK ? int32(info + INFO_EX_OUTPUT_HEIGHT) : 0;
        if (result === TARNEL_OK) {
          if (!pixelRoom(width * height * 4)) {
            return {ok: false, reason: `no memory for a ${width} x ${height} picture`};
          }
          setInt32(info, INFO_EX_BYTES);
          result = m._tarnel_decode_ex(handle, data, sizeArgument, options, pixels, width * 4,
                                       info);
        }
        if (result !== TARNEL_OK) {
          const identified = m._tarnel_explain_ex(data, sizeArgument, options, text,
                                                  EXPLAIN_BYTES);
          const reason = identified !== TARNEL_OK ? m.UTF8ToString(text)
                                                  : m.UTF8ToString(m._tarnel_strerror(result));
          return {ok: false, reason, noCharset: identified === TARNEL_E_NO_CHARSET};
        }
        const record = info + INFO_EX_INFO;
        const frameCount = int32(info + INFO_EX_FRAME_COUNT);
        return {
          ok: true,
          layout: int32(record + INFO_LAYOUT),
          name: m.UTF8ToString(int32(record + INFO_NAME)),
          packed: int32(record + INFO_PACKED) !== 0,
          interlaced: int32(record + INFO_INTERLACED) !== 0,
          frameCount,
          screen: Math.min(screen || 0, Math.max(0, frameCount - 1)),
          charsetSource: int32(info + INFO_EX_CHARSET_SOURCE),
          lowerCase: int32(info + INFO_EX_CHARSET_CASE) === CHARSET_LOWER,
          chosen: int32(info + INFO_EX_CHOSEN) !== 0,
          headerless: int32(info + INFO_EX_HEADERLESS) !== 0,
          width,
          height,
          rgba: new Uint8ClampedArray(m.HEAPU8.subarray(pixels, pixels + width * height * 4)),
        };
      });
    }

    return {
      decode,
      setCharset,
      fittingFormats,
      formatList,
      paletteList,
      version: () => m.UTF8ToString(m._tarnel_version()),
    };
  }

  // ---- Pictures ----------------------------------------------------------

  function element(tag, className, text) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined) node.textContent = text;
    return node;
  }

  function pngName(fileName) {
    const dot = fileName.lastIndexOf('.');
    return (dot > 0 ? fileName.slice(0, dot) : fileName) + '.png';
  }

  function savePng(canvas, fileName) {
    canvas.toBlob((blob) => {
      if (!blob) {
        showStatus(`${fileName}: the browser could not make a PNG`);
        return;
      }
      const url = URL.createObjectURL(blob);
      const link = element('a');
      link.href = url;
      link.download = pngName(fileName);
      document.body.appendChild(link);
      link.click();
      link.remove();
      setTimeout(() => URL.revokeObjectURL(url), 10000);
    }, 'image/png');
  }

  // ---- Frames, flicker and border ----------------------------------------

  // Pictures whose two frames are shown alternately: each has `frames`, two
  // ImageData, and `phase`, the one shown.
  const flickering = new Set();
  let flickerRequest = 0;

  // Each display frame shows each flickering picture's other frame.
  function flickerStep() {
    flickerRequest = 0;
    if (flickering.size === 0) return;
    for (const picture of flickering) {
      picture.phase = 1 - picture.phase;
      picture.canvas.getContext('2d').putImageData(picture.frames[picture.phase], 0, 0);
      picture.canvas.dataset.frame = String(picture.phase);
    }
    flickerRequest = requestAnimationFrame(flickerStep);
  }

  function startFlicker() {
    if (flickering.size > 0 && flickerRequest === 0) {
      flickerRequest = requestAnimationFrame(flickerStep);
    }
  }

  // The picture's size on its card: the border frames only the C64's
  // 320 x 200 pictures, and the card says so of the others.
  function showSize(picture, result, border) {
    if (!picture.sizeFlag) return;
    const size = `${result.width} × ${result.height}`;
    const framed = border && result.width === BORDERED_WIDTH && result.height === BORDERED_HEIGHT;
    picture.sizeFlag.textContent = framed ? `${size} with the border`
                                 : border ? `${size}, no border (320 × 200 pictures only)`
                                          : size;
    picture.sizeFlag.classList.toggle('unframed', border && !framed);
  }

  // Decodes the picture as the controls say and draws it on a canvas of the
  // picture's size (with the border or not); gives the result of the decode.
  function render(picture) {
    const paletteIndex = Number(paletteSelect.value);
    const border = borderToggle.checked;
    const choice = frameSelect.value;
    const view = viewSelect.value;
    flickering.delete(picture);
    picture.frames = null;
    const result = decoder.decode(picture.bytes, picture.name, picture.size, picture.layout,
                                  paletteIndex, choice === 'flicker' ? '0' : choice, border, view,
                                  picture.screen);
    if (!result.ok || !picture.canvas) return result;
    const canvas = picture.canvas;
    if (canvas.width !== result.width || canvas.height !== result.height) {
      canvas.width = result.width;
      canvas.height = result.height;
    }
    picture.figure.style.setProperty('--canvas-width', String(result.width));
    canvas.style.setProperty('--canvas-width', String(result.width));
    canvas.style.setProperty('--canvas-height', String(result.height));
    const first = new ImageData(result.rgba, result.width, result.height);
    canvas.getContext('2d').putImageData(first, 0, 0);
    canvas.dataset.frame = choice;
    canvas.dataset.view = view;
    showSize(picture, result, border);
    if (choice === 'flicker' && result.interlaced && result.frameCount === 2) {
      const second = decoder.decode(picture.bytes, picture.name, picture.size, picture.layout,
                                    paletteIndex, '1', border, view);
      if (second.ok) {
        picture.frames = [first, new ImageData(second.rgba, second.width, second.height)];
        picture.phase = 0;
        canvas.dataset.frame = '0';
        flickering.add(picture);
        startFlicker();
      }
    }
    return result;
  }

  // "Open as…": the formats other than `shown` (the one the picture is
  // shown as, 0 for none) whose own test takes the picture's bytes, each a
  // button that shows the picture as that format; null when none does.
  function openAsControl(picture, shown) {
    if (!picture.choices) picture.choices = decoder.fittingFormats(picture.bytes, picture.name);
    const others = picture.choices.filter(({code}) => code !== shown);
    if (others.length === 0) return null;
    const details = element('details', 'open-as');
    details.appendChild(element('summary', '', 'Open as…'));
    const list = element('ul');
    for (const {code, name} of others) {
      const button = element('button', '', `${name} (code ${code})`);
      button.type = 'button';
      button.dataset.layout = String(code);
      button.addEventListener('click', () => {
        picture.layout = code;
        show(picture);
        summarise();
        const next = picture.figure.querySelector('button.save, summary');
        if (next) next.focus();
      });
      const item = element('li');
      item.appendChild(button);
      list.appendChild(item);
    }
    details.appendChild(list);
    return details;
  }

  // A file of several screens (a Petmate project): the one shown, from 0.
  function screenControl(picture, result) {
    const label = element('label', 'screen-choice', 'Screen ');
    const input = element('input');
    input.type = 'number';
    input.min = '0';
    input.max = String(result.frameCount - 1);
    input.value = String(result.screen);
    input.setAttribute('aria-label', `Screen of ${picture.name}, 0 to ${result.frameCount - 1}`);
    input.addEventListener('change', () => {
      const wanted = Math.trunc(Number(input.value));
      picture.screen = Number.isFinite(wanted)
        ? Math.max(0, Math.min(result.frameCount - 1, wanted)) : 0;
      input.value = String(picture.screen);
      render(picture);
    });
    label.appendChild(input);
    label.appendChild(document.createTextNode(` of ${result.frameCount}`));
    return label;
  }

  // Where a character screen's glyphs came from, for its card.
  function charsetFlag(result) {
    const letters = result.lowerCase ? 'lower case' : 'upper case';
    if (result.charsetSource === CHARSET_FILE) return 'its own character set';
    if (result.charsetSource === CHARSET_CALLER && charset) return `${charset.name}, ${letters}`;
    return `character set, ${letters}`;
  }

  // Fills the picture's figure: the canvas and its caption, or the reason it
  // was refused.
  function show(picture) {
    const figure = picture.figure;
    figure.replaceChildren();
    figure.classList.remove('loading');
    flickering.delete(picture);
    const canvas = element('canvas');
    canvas.width = WIDTH;
    canvas.height = HEIGHT;
    picture.sizeFlag = null;
    picture.canvas = picture.readError ? null : canvas;
    const result = picture.readError ? {ok: false, reason: picture.readError} : render(picture);
    const caption = element('figcaption');
    caption.appendChild(element('span', 'file-name', picture.name));
    if (result.ok) {
      canvas.dataset.file = picture.name;
      canvas.dataset.layout = String(result.layout);
      canvas.setAttribute('role', 'img');
      const chosen = result.chosen ? ', opened as chosen' : '';
      canvas.setAttribute('aria-label', `${picture.name}: ${result.name}${chosen}`);
      // Pictures larger than the page scroll in their own box.
      const box = element('div', 'canvas-box');
      box.appendChild(canvas);
      figure.appendChild(box);

      caption.appendChild(element('span', 'layout', `${result.name} (code ${result.layout})${chosen}`));
      const flags = element('span', 'flags');
      flags.appendChild(element('span', 'flag', result.packed ? 'packed' : 'unpacked'));
      flags.appendChild(element('span', 'flag', result.interlaced ? 'interlaced'
                                              : result.frameCount > 1 ? `${result.frameCount} screens`
                                                                      : 'single frame'));
      if (result.headerless) flags.appendChild(element('span', 'flag', 'no load address'));
      if (result.charsetSource !== CHARSET_NONE) {
        flags.appendChild(element('span', 'flag charset-used', charsetFlag(result)));
      }
      picture.sizeFlag = element('span', 'flag size');
      showSize(picture, result, borderToggle.checked);
      flags.appendChild(picture.sizeFlag);
      caption.appendChild(flags);
      if (!result.interlaced && result.frameCount > 1) {
        caption.appendChild(screenControl(picture, result));
      }
      const save = element('button', 'save', 'Save PNG');
      save.type = 'button';
      save.setAttribute('aria-label', `Save ${pngName(picture.name)}`);
      save.addEventListener('click', () => savePng(canvas, picture.name));
      caption.appendChild(save);
      // The other formats that take the file (an AFLI-looking file may be
      // a Hires Manager picture).
      const openAs = openAsControl(picture, result.layout);
      if (openAs) caption.appendChild(openAs);
      figure.classList.remove('refused');
    } else {
      const error = element('div', 'error');
      error.dataset.file = picture.name;
      error.appendChild(element('strong', '', 'Not shown'));
      error.appendChild(element('span', 'reason', result.reason));
      if (result.noCharset) {
        error.appendChild(element('span', 'charset-hint',
                                  'Here: “Load character set…” above, with a 4,096-byte C64 ' +
                                  'character ROM file or a 2,048-byte set.'));
      }
      // A screen refused for want of a character set is no other format.
      const openAs = picture.readError || result.noCharset ? null : openAsControl(picture, 0);
      if (openAs) error.appendChild(openAs);
      figure.appendChild(error);
      picture.canvas = null;
      flickering.delete(picture);
      figure.classList.add('refused');
    }
    figure.classList.toggle('chosen', result.ok && result.chosen);
    figure.appendChild(caption);
  }

  // Redraws every picture with the chosen palette, frame, border and view
  // (same layouts, new pixels).
  function redrawAll() {
    for (const picture of pictures) {
      if (picture.canvas) render(picture);
    }
  }

  function showStatus(text) {
    status.textContent = text;
  }

  function summarise() {
    if (pending > 0) {
      showStatus(`Reading ${pending} file${pending === 1 ? '' : 's'}…`);
      return;
    }
    const shown = pictures.filter((p) => p.canvas).length;
    const refused = pictures.length - shown;
    if (pictures.length === 0) {
      showStatus('No pictures yet: open files or a folder, or drop them here.');
    } else {
      showStatus(`${shown} picture${shown === 1 ? '' : 's'} shown` +
                 (refused ? `, ${refused} file${refused === 1 ? '' : 's'} not shown` : '') + '.');
    }
    clearButton.disabled = pictures.length === 0;
  }

  // Adds files in the order given; each gets its place at once and is
  // filled when its bytes have been read.
  async function addFiles(files) {
    if (!decoder || files.length === 0) return;
    const added = files.map((file) => {
      const figure = element('figure', 'picture loading');
      figure.dataset.file = file.name;
      figure.appendChild(element('span', 'file-name', file.name));
      picturesSection.appendChild(figure);
      const picture = {name: file.name, size: file.size, bytes: null, figure, canvas: null,
                       layout: 0};
      pictures.push(picture);
      return {file, picture};
    });
    pending += added.length;
    summarise();
    for (const {file, picture} of added) {
      try {
        // Files above the size limit are refused on their size alone.
        if (file.size <= MAX_FILE_SIZE) picture.bytes = new Uint8Array(await file.arrayBuffer());
      } catch (error) {
        picture.readError = `could not be read (${error.message || error.name})`;
      }
      if (pictures.includes(picture)) show(picture);
      pending -= 1;
      summarise();
    }
  }

  function sortedByPath(files) {
    const path = (file) => file.webkitRelativePath || file.name;
    return files.slice().sort((a, b) => (path(a) < path(b) ? -1 : path(a) > path(b) ? 1 : 0));
  }

  // ---- Dropped folders ---------------------------------------------------

  function readAllEntries(directory) {
    const reader = directory.createReader();
    const entries = [];
    return new Promise((resolve, reject) => {
      const next = () => reader.readEntries((batch) => {
        if (batch.length === 0) {
          resolve(entries);
        } else {
          entries.push(...batch);
          next();
        }
      }, reject);
      next();
    });
  }

  // Every file under the entry, folders in name order, depth first.
  async function filesOf(entry) {
    if (entry.isFile) {
      return [await new Promise((resolve, reject) => entry.file(resolve, reject))];
    }
    if (!entry.isDirectory) return [];
    const children = await readAllEntries(entry);
    children.sort((a, b) => (a.name < b.name ? -1 : a.name > b.name ? 1 : 0));
    const files = [];
    for (const child of children) files.push(...await filesOf(child));
    return files;
  }

  async function dropped(transfer) {
    // The entries must be taken while the drop event runs.
    const entries = [];
    if (transfer.items) {
      for (const item of transfer.items) {
        const entry = item.kind === 'file' && item.webkitGetAsEntry ? item.webkitGetAsEntry() : null;
        if (entry) entries.push(entry);
      }
    }
    if (entries.length === 0) {
      await addFiles(Array.from(transfer.files));
      return;
    }
    const files = [];
    for (const entry of entries) {
      try {
        files.push(...await filesOf(entry));
      } catch (error) {
        showStatus(`${entry.name} could not be read (${error.message || error.name})`);
      }
    }
    await addFiles(files);
  }

  // ---- The character set -------------------------------------------------

  function toBase64(bytes) {
    let text = '';
    for (const byte of bytes) text += String.fromCharCode(byte);
    return btoa(text);
  }

  function fromBase64(text) {
    const raw = atob(text);
    const bytes = new Uint8Array(raw.length);
    for (let i = 0; i < raw.length; ++i) bytes[i] = raw.charCodeAt(i);
    return bytes;
  }

  // The page's own storage, which a browser may refuse (private windows,
  // full quota): then nothing is remembered.
  function storeCharset() {
    try {
      if (rememberCharset.checked && charset) {
        localStorage.setItem(CHARSET_STORAGE_KEY,
                             JSON.stringify({name: charset.name, bytes: toBase64(charset.bytes)}));
      } else {
        localStorage.removeItem(CHARSET_STORAGE_KEY);
      }
    } catch (error) {
      showStatus(`The character set could not be remembered (${error.message || error.name}).`);
    }
  }

  function storedCharset() {
    try {
      const stored = JSON.parse(localStorage.getItem(CHARSET_STORAGE_KEY) || 'null');
      if (!stored || typeof stored.name !== 'string' || typeof stored.bytes !== 'string') return null;
      const bytes = fromBase64(stored.bytes);
      return CHARSET_SIZES.includes(bytes.length) ? {name: stored.name, bytes} : null;
    } catch (error) {
      return null;
    }
  }

  function showCharset() {
    charsetName.textContent = charset
      ? `Character set: ${charset.name} (${charset.bytes.length.toLocaleString('en')} bytes)`
      : 'No character set: character screens (PETSCII) that carry none of their own need one.';
    charsetName.dataset.name = charset ? charset.name : '';
    rememberCharset.disabled = !charset;
  }

  // Takes `set` ({name, bytes}) for every picture, those shown redrawn and
  // those refused for want of it tried again.
  function useCharset(set) {
    if (!decoder.setCharset(set.bytes)) {
      showStatus(`${set.name}: no memory for the character set`);
      return;
    }
    charset = set;
    showCharset();
    for (const picture of pictures) {
      if (!picture.figure.classList.contains('loading')) show(picture);
    }
    summarise();
  }

  async function loadCharset(file) {
    if (!CHARSET_SIZES.includes(file.size)) {
      showStatus(`${file.name} is no character set: ${file.size.toLocaleString('en')} bytes, ` +
                 'not 4,096 (a whole character ROM) or 2,048 (one set).');
      return;
    }
    let bytes;
    try {
      bytes = new Uint8Array(await file.arrayBuffer());
    } catch (error) {
      showStatus(`${file.name} could not be read (${error.message || error.name})`);
      return;
    }
    useCharset({name: file.name, bytes});
    storeCharset();
  }

  // ---- Controls ----------------------------------------------------------

  function fillPalettes() {
    palettes = decoder.paletteList();
    paletteSelect.replaceChildren();
    palettes.forEach((palette, index) => {
      const option = element('option', '', index === 0 ? `${palette.name} (default)` : palette.name);
      option.value = String(index);
      paletteSelect.appendChild(option);
    });
    paletteSelect.value = '0';
    paletteSelect.disabled = false;
    showPalette();
  }

  // What the page opens: the library's format table, each format with its
  // usual extensions and how its files are found.
  function fillFormats() {
    const how = {
      content: 'by its bytes',
      name: 'by its bytes and its name’s extension (or under “Open as…”)',
      request: 'only under “Open as…”',
    };
    const body = element('tbody');
    for (const format of decoder.formatList()) {
      const row = element('tr');
      row.dataset.code = String(format.code);
      row.appendChild(element('td', 'code', String(format.code)));
      row.appendChild(element('td', '', format.name));
      const extensions = format.extensions.split(' ').filter(Boolean).map((e) => `.${e}`);
      row.appendChild(element('td', 'extensions', extensions.join(' ')));
      row.appendChild(element('td', '', how[format.foundBy]));
      body.appendChild(row);
    }
    formatTable.querySelector('tbody').replaceWith(body);
  }

  // The chosen palette's sixteen colours and where they come from.
  function showPalette() {
    const palette = palettes[Number(paletteSelect.value)];
    swatch.replaceChildren();
    palette.colours.forEach(([r, g, b], n) => {
      const chip = element('span', 'chip');
      chip.style.backgroundColor = `rgb(${r}, ${g}, ${b})`;
      chip.dataset.colour = String(n);
      chip.title = `colour ${n}`;
      swatch.appendChild(chip);
    });
    paletteCredit.textContent = palette.credit;
  }

  function fittingScale() {
    const room = picturesSection.clientWidth || window.innerWidth;
    return Math.max(1, Math.min(2, Math.floor(room / WIDTH)));
  }

  function applyScale() {
    picturesSection.style.setProperty('--scale', scaleSelect.value);
  }

  // The C64's pixel shape, by CSS alone: the canvas keeps its pixels.
  function applyShape() {
    picturesSection.style.setProperty('--aspect', String(ASPECTS[shapeSelect.value] || 1));
  }

  // What the C64's view changes, shown while it is chosen.
  function showViewNote() {
    viewNote.hidden = viewSelect.value !== 'c64';
  }

  function connect() {
    pickFiles.addEventListener('click', () => fileInput.click());
    pickFolder.addEventListener('click', () => folderInput.click());
    fileInput.addEventListener('change', () => {
      const files = Array.from(fileInput.files);
      fileInput.value = '';
      addFiles(files);
    });
    folderInput.addEventListener('change', () => {
      const files = sortedByPath(Array.from(folderInput.files));
      folderInput.value = '';
      addFiles(files);
    });
    pickCharset.addEventListener('click', () => charsetInput.click());
    charsetInput.addEventListener('change', () => {
      const file = charsetInput.files[0];
      charsetInput.value = '';
      if (file) loadCharset(file);
    });
    rememberCharset.addEventListener('change', storeCharset);
    clearButton.addEventListener('click', () => {
      pictures.length = 0;
      flickering.clear();
      picturesSection.replaceChildren();
      summarise();
      pickFiles.focus();
    });
    paletteSelect.addEventListener('change', () => {
      showPalette();
      redrawAll();
    });
    scaleSelect.addEventListener('change', applyScale);
    frameSelect.addEventListener('change', redrawAll);
    borderToggle.addEventListener('change', redrawAll);
    shapeSelect.addEventListener('change', applyShape);
    viewSelect.addEventListener('change', () => {
      showViewNote();
      redrawAll();
    });

    // The whole page takes drops; the drop zone lights up while one hovers.
    let depth = 0;
    document.addEventListener('dragenter', (event) => {
      event.preventDefault();
      depth += 1;
      dropZone.classList.add('active');
    });
    document.addEventListener('dragleave', () => {
      depth = Math.max(0, depth - 1);
      if (depth === 0) dropZone.classList.remove('active');
    });
    document.addEventListener('dragover', (event) => {
      event.preventDefault();
      if (event.dataTransfer) event.dataTransfer.dropEffect = decoder ? 'copy' : 'none';
    });
    document.addEventListener('drop', (event) => {
      event.preventDefault();
      depth = 0;
      dropZone.classList.remove('active');
      if (decoder && event.dataTransfer) dropped(event.dataTransfer);
    });
  }

  async function start() {
    scaleSelect.value = String(fittingScale());
    applyScale();
    applyShape();
    showViewNote();
    connect();
    try {
      if (typeof createTarnelModule !== 'function') throw new Error('tarnel.js did not load');
      decoder = makeDecoder(await createTarnelModule());
    } catch (error) {
      showStatus(`The decoder could not be started: ${error.message || error}`);
      document.body.classList.add('failed');
      return;
    }
    $('version').textContent = decoder.version();
    fillPalettes();
    fillFormats();
    const remembered = storedCharset();
    if (remembered) {
      rememberCharset.checked = true;
      useCharset(remembered);
    }
    showCharset();
    pickFiles.disabled = false;
    pickFolder.disabled = false;
    pickCharset.disabled = false;
    document.body.classList.add('ready');
    summarise();
  }

  pickFiles.disabled = true;
  pickFolder.disabled = true;
  pickCharset.disabled = true;
  start();
})();
