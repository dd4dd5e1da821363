// The page around the player: loads the presentation named by ?play= into the player's file
// system, shows the frames on the canvas, hands mouse and keys to the player, starts sound
// on the first click, and shows the player's messages in the page.
//
//   veke.html?play=show.zip           a zip archive of the presentation
//   veke.html?play=folder/MAIN.VEK    a script; the files it names are fetched first
//   &section=NAME                     play starts at that section (as --section)
//   &step=MS                          tests only: a clock that steps MS per frame, turned by
//                                     vekePlayer.stepTo(ms) instead of the animation frames
//
// window.vekePlayer tells how the play goes: state ("loading", "playing", "ended"), the
// messages shown, the exit code and reason of an ended play, and the sound output's counts.
'use strict';

(() => {
  const params = new URLSearchParams(location.search);
  const screen = document.getElementById('screen');
  const loading = document.getElementById('loading');
  const what = document.getElementById('what');
  const progress = document.getElementById('progress');
  const soundHint = document.getElementById('sound');
  const messages = document.getElementById('messages');
  const step = Number(params.get('step') || 0);
  let module = null;
  let context2d = null;
  let mixerOpen = false;

  const player = {
    state: 'loading',
    messages: [],
    exitCode: null,
    reason: '',
    // Stereo frames the sound output has played, the times it found nothing to play, and the
    // frames handed to it that were not silent.
    sound: { output: '', played: 0, underruns: 0, heard: 0 },
    stepTo: (ms) => module._veke_web_step_to(ms),
    framesShown: () => module._veke_web_frames_shown(),
    framesMixed: () => module._veke_web_frames_mixed(),
  };
  window.vekePlayer = player;

  function showMessage(caption, text, isError) {
    player.messages.push(caption ? `${caption}: ${text}` : text);
    const box = document.createElement('div');
    box.className = isError ? 'message error' : 'message';
    const ok = document.createElement('button');
    ok.textContent = 'OK';
    ok.onclick = () => box.remove();
    box.append(ok);
    if (caption) {
      const title = document.createElement('b');
      title.textContent = caption;
      box.append(title);
    }
    box.append(text);
    messages.append(box);
  }

  function fail(text) {
    loading.hidden = true;
    player.state = 'ended';
    player.reason = text;
    showMessage('', text, true);
  }

  // What the player calls (src/platform/web/PL_WebHost.cpp, src/player/web/VEKWebMain.cpp).
  const page = {
    open(width, height, caption) {
      screen.width = width;
      screen.height = height;
      context2d = screen.getContext('2d');
      if (caption) document.title = caption;
      screen.style.display = 'block';
      loading.hidden = true;
    },
    place(x, y, width, height) {
      Object.assign(screen.style,
          { left: `${x}px`, top: `${y}px`, width: `${width}px`, height: `${height}px` });
    },
    frame(pixels, width, height, parts, count) {
      // A view of the player's memory, made anew: the memory may have grown since.
      const image = new ImageData(
          new Uint8ClampedArray(module.HEAPU8.buffer, pixels, width * height * 4), width, height);
      const rects = new Int32Array(module.HEAPU8.buffer, parts, count * 4);
      for (let i = 0; i < count * 4; i += 4)
        context2d.putImageData(image, 0, 0, rects[i], rects[i + 1], rects[i + 2], rects[i + 3]);
    },
    message(caption, text) { showMessage(caption, text, false); },
    cursor(visible) { screen.style.cursor = visible ? 'default' : 'none'; },
    sound(open) {
      mixerOpen = open;
      soundHint.hidden = !open || audio !== null;
    },
    ended(exitCode, reason) {
      player.state = 'ended';
      player.exitCode = exitCode;
      player.reason = reason;
      soundHint.hidden = true;
      if (exitCode !== 0 && reason && !player.messages.some((m) => m.endsWith(reason)))
        showMessage('', reason, true);
      else if (exitCode === 0)
        showMessage('', 'The presentation has ended.', false);
    },
  };

  // Sound: the player mixes, the page's output pulls. Browsers let sound start only from a
  // click or a key, so the first one starts it; until then the player drops its sound as
  // time passes, so waits for a sound's end still end.
  let audio = null;
  async function startSound() {
    if (audio || !module) return;
    const context = new AudioContext({ sampleRate: 44100 });
    audio = context;
    soundHint.hidden = true;
    const pull = (frames) => {
      const samples =
          new Int16Array(module.HEAPU8.buffer, module._veke_web_mix(frames), frames * 2);
      for (let i = 0; i < samples.length; i += 2)
        if (samples[i] || samples[i + 1]) ++player.sound.heard;
      return samples;
    };
    let node;
    if (context.audioWorklet) {
      await context.audioWorklet.addModule('veke-audio.js');
      node = new AudioWorkletNode(context, 'veke-sound', { outputChannelCount: [2] });
      node.port.onmessage = (event) => {
        const { want, played, underruns } = event.data;
        player.sound.played = played;
        player.sound.underruns = underruns;
        for (let left = want; left > 0;) {
          const frames = Math.min(left, 4096);
          const samples = pull(frames);
          const out = new Float32Array(frames * 2);
          for (let i = 0; i < out.length; ++i) out[i] = samples[i] / 32768;
          node.port.postMessage(out, [out.buffer]);
          left -= frames;
        }
      };
      player.sound.output = 'AudioWorklet';
    } else {
      node = context.createScriptProcessor(2048, 0, 2);
      node.onaudioprocess = (event) => {
        const left = event.outputBuffer.getChannelData(0);
        const right = event.outputBuffer.getChannelData(1);
        const samples = pull(left.length);
        for (let i = 0; i < left.length; ++i) {
          left[i] = samples[2 * i] / 32768;
          right[i] = samples[2 * i + 1] / 32768;
        }
        player.sound.played += left.length;
      };
      player.sound.output = 'ScriptProcessor';
    }
    // From now on the output alone takes the mix; were both to take it, sound would run ahead.
    module._veke_web_audio_live(1);
    node.connect(context.destination);
    try {
      await context.resume();
    } catch (error) {
      module._veke_web_audio_live(0);
      throw error;
    }
  }

  // Mouse events to the player: 0 a move, 1 a press, 2 a release.
  function pointer(kind) {
    return (event) => {
      if (!module || player.state !== 'playing') return;
      // Some browsers leave `buttons` empty in the press a tap on a touch screen makes; the
      // button pressed is then the one the event names.
      const pressed = kind === 1 ? [1, 4, 2][event.button] || 0 : 0;
      module._veke_web_pointer(kind, event.clientX, event.clientY, event.buttons | pressed,
          event.shiftKey ? 1 : 0, event.ctrlKey ? 1 : 0);
    };
  }

  function toggleFullScreen() {
    if (document.fullscreenElement) document.exitFullscreen();
    else document.documentElement.requestFullscreen().catch(() => {});
  }

  function listen() {
    addEventListener('mousemove', pointer(0));
    addEventListener('mousedown', (event) => {
      if (event.target.closest('.message')) return;
      pointer(1)(event);
      startSound().catch((error) => console.warn('veke: no sound:', error));
    });
    addEventListener('mouseup', pointer(2));
    screen.addEventListener('contextmenu', (event) => event.preventDefault());
    addEventListener('keydown', (event) => {
      if (event.key === 'Escape') module._veke_web_close();
      else if (event.key === 'F11' || (event.key === 'Enter' && event.altKey)) {
        event.preventDefault();
        toggleFullScreen();
      } else return;
      startSound().catch(() => {});
    });
    const resize = () => module._veke_web_resize(innerWidth, innerHeight, devicePixelRatio || 1);
    addEventListener('resize', resize);
    resize();
    document.addEventListener('visibilitychange',
        () => module._veke_web_visible(document.hidden ? 0 : 1));
  }

  // Fetches `url` with the bar showing how far it has come (share `part` of `parts`).
  async function fetchBytes(url, part, parts) {
    const response = await fetch(url);
    if (!response.ok) {
      const error = new Error(`${url}: ${response.status} ${response.statusText}`);
      error.status = response.status;
      throw error;
    }
    const total = Number(response.headers.get('Content-Length')) || 0;
    const reader = response.body.getReader();
    const chunks = [];
    let got = 0;
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      chunks.push(value);
      got += value.length;
      progress.value = (part + (total ? Math.min(got / total, 1) : 0)) / parts;
    }
    const bytes = new Uint8Array(got);
    let at = 0;
    for (const chunk of chunks) {
      bytes.set(chunk, at);
      at += chunk.length;
    }
    return bytes;
  }

  function writeFile(path, bytes) {
    module.FS.mkdirTree(path.slice(0, path.lastIndexOf('/')));
    module.FS.writeFile(path, bytes);
  }

  // A name as the script writes it may differ in letter case from the file on the server,
  // which a Windows presentation never had to care about: it is tried as written, then in
  // small and in capital letters. A file that is not there is left out; the play then says
  // what it says on the desktop.
  async function fetchNamed(base, name, part, parts) {
    for (const spelling of new Set([name, name.toLowerCase(), name.toUpperCase()])) {
      try {
        return await fetchBytes(base + spelling.split('/').map(encodeURIComponent).join('/'),
            part, parts);
      } catch (error) {
        if (error.status !== 404) throw error;
      }
    }
    console.warn(`veke: ${base}${name}: not on the server`);
    return null;
  }

  // The presentation in the player's file system; the path to play.
  async function load(address) {
    const file = address.split('/').pop();
    if (/\.zip$/i.test(file)) {
      what.textContent = `Loading ${file}…`;
      const path = `/show/${file}`;
      writeFile(path, await fetchBytes(address, 0, 1));
      return path;
    }
    // The player reads a file when a line needs it and cannot wait for the network then, so
    // everything the script names is fetched before the play begins.
    what.textContent = `Loading ${file}…`;
    const base = address.slice(0, address.length - file.length);
    const path = `/show/${file}`;
    writeFile(path, await fetchBytes(address, 0, 1));
    const names = module.UTF8ToString(module._veke_web_named_files(module.allocateUTF8(path)))
        .split('\n').filter((name) => name);
    for (let i = 0; i < names.length; ++i) {
      // A name rooted on a disc (D:\PICS\A.BMP) is looked for from the script's folder
      // upwards, so it is fetched and kept beside the script.
      const name = names[i].replace(/^[A-Za-z]:/, '').replace(/^\/+/, '');
      if (!name || name.endsWith('/')) continue;  // no file: the play says so
      what.textContent = `Loading ${name} (${i + 1} of ${names.length})…`;
      const bytes = await fetchNamed(base, name, i, names.length);
      if (bytes) writeFile(`/show/${name}`, bytes);
    }
    return path;
  }

  async function main() {
    const address = params.get('play');
    if (!address) {
      fail('No presentation given: open this page as veke.html?play=show.zip or ' +
          'veke.html?play=folder/MAIN.VEK');
      return;
    }
    module = await VekeModule({
      vekePage: page,
      print: (text) => console.log(text),
      printErr: (text) => console.warn(text),
    });
    if (step > 0) module._veke_web_stepped(step);
    listen();
    const path = await load(address);
    what.textContent = 'Starting…';
    const section = params.get('section');
    const words = section ? `--section\n${section}` : '';
    player.state = 'playing';
    if (module._veke_web_play(module.allocateUTF8(path), module.allocateUTF8(words)) !== 0) return;
    if (step > 0) return;
    const frame = () => {
      if (module._veke_web_frame()) requestAnimationFrame(frame);
    };
    requestAnimationFrame(frame);
  }

  main().catch((error) => fail(`The presentation cannot be loaded: ${error.message}`));
})();
