// The browser player checked in Chromium, a table of cases: the page against veke-render's
// frames at the same times of play (pictures, texts, 3D, a clip; from a folder and from a zip
// archive; after clicks on buttons), the sound output pulling samples after the first click,
// and a broken presentation's messages in the page, as the desktop gives them.
'use strict';

const { execFileSync, spawnSync } = require('child_process');
const fs = require('fs');
const http = require('http');
const path = require('path');
const puppeteer = require('puppeteer-core');

const args = {};
for (let i = 2; i < process.argv.length; i += 2) args[process.argv[i].slice(2)] = process.argv[i + 1];
const demo = path.join(args.source, 'examples/demo');

// Menu buttons of the demo, at their centres in presentation pixels.
const kButtons = { images: [140, 348], space: [320, 348], cinema: [500, 348], texts: [230, 402] };
// Wider than 4:3, so the picture has bands at its sides, as in a wide window.
const kViewport = { width: 1000, height: 600 };

const cases = [
  { name: 'the menu: a JPEG background, texts, fading buttons', play: 'demo/demo.vek',
    at: [300, 1000, 2600], resize: true },
  { name: 'the menu from a zip archive', play: 'work/demo.zip', at: [1000, 2600] },
  { name: 'a folder whose script names its files by drive and in capitals',
    play: 'work/rooted/MAIN.VEK', at: [200] },
  { name: 'pictures after a click on their button, on a screen of 1.5 pixels a point',
    play: 'demo/demo.vek', click: 'images', at: [3000, 7000], pixelRatio: 1.5 },
  { name: 'the faces of the font', play: 'demo/demo.vek', click: 'texts', at: [5000] },
  { name: 'a play begun at a section', play: 'demo/demo.vek', section: 'SPACEPAGE', at: [1500] },
  { name: '3D objects', play: 'demo/demo.vek', click: 'space', at: [3000, 4500] },
  { name: 'a clip with its sound', play: 'work/demo.zip', click: 'cinema', at: [3000, 4500] },
  { name: 'sound after the first click', play: 'demo/demo.vek', sound: 'AudioWorklet' },
  { name: 'sound in a browser without audio worklets', play: 'demo/demo.vek',
    sound: 'ScriptProcessor' },
  { name: 'a script that stops at its first line', play: 'work/broken/MAIN.VEK', messages: true,
    ends: true },
  { name: 'a picture that is not there', play: 'work/missing/MAIN.VEK', messages: true },
  { name: 'an archive that is not there', play: 'work/none.zip', failure: /404/ },
];

function prepare() {
  const work = args.work;
  fs.mkdirSync(path.join(work, 'broken'));
  fs.writeFileSync(path.join(work, 'broken/MAIN.VEK'), '[broken\r\nWAIT(100)\r\n');
  // Written for a Windows disc: on the server the names are in small letters.
  fs.mkdirSync(path.join(work, 'rooted/pics'), { recursive: true });
  fs.copyFileSync(path.join(demo, 'day.bmp'), path.join(work, 'rooted/pics/sky.bmp'));
  fs.copyFileSync(path.join(demo, 'sun.bmp'), path.join(work, 'rooted/sun.bmp'));
  fs.writeFileSync(path.join(work, 'rooted/MAIN.VEK'),
      'CREATEBACKGROUND(,D:\\PICS\\SKY.BMP)\r\nCREATEIMAGE(S,,SUN.BMP,100,100,TRUE,TRUE)\r\n' +
      'WAIT(1000)\r\n');
  fs.mkdirSync(path.join(work, 'missing'));
  fs.writeFileSync(path.join(work, 'missing/MAIN.VEK'),
      'CREATEIMAGE(A,,nothere.bmp,0,0,TRUE,TRUE)\r\nWAIT(400)\r\n');
  execFileSync('python3', ['-c', `
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[2], 'w', zipfile.ZIP_DEFLATED) as z:
    for folder, _, files in sorted(os.walk(sys.argv[1])):
        for name in sorted(files):
            z.write(os.path.join(folder, name), os.path.relpath(os.path.join(folder, name), sys.argv[1]))
`, demo, path.join(work, 'demo.zip')]);
}

// veke-render's frames for a case (FILE-MS.png), and its messages: what the page must show.
// `program` runs it: the desktop's, or the browser build's under node.
function reference(test, clickAt, program = [args.render], file = 'ref') {
  const script = test.play.startsWith('demo/') ? path.join(demo, test.play.slice(5))
                                               : path.join(args.work, test.play.slice(5));
  const words = [script, '--ms', String(Math.max(...(test.at || [1000])) + 100)];
  if (test.click) words.push('--click', `${kButtons[test.click].join(',')}@${clickAt}`);
  if (test.section) words.push('--section', test.section);
  for (const ms of test.at || []) words.push('--at', `${ms}:${path.join(args.work, `${file}-${ms}.png`)}`);
  const run = spawnSync(program[0], [...program.slice(1), ...words], { encoding: 'utf8' });
  return run.stderr.split('\n').filter((line) => line);
}

// The browser build's engine rounds apart from the desktop's in places (FFmpeg's C scaler
// against its x86 SIMD code; long double of 128 bits against 80 in the 3D front end and in the
// opacity a fade sums, where a sum on a half rounds to the other side for a frame):
// by one step of five bits at most, 9 of 255, as tests/cli/web.sh allows. The page itself
// must add nothing: where the desktop's frame differs, the page must show exactly the frame
// of the browser build's own veke-render under node, which `make web` builds beside it.
const kEngineRounding = 9;
const wasmRender = path.join(args.web, 'veke-render.js');
function renderInBrowserBuild(test, clickAt) {
  if (!fs.existsSync(wasmRender)) return false;
  reference(test, clickAt, [process.execPath, '--no-experimental-fetch', wasmRender], 'wasm');
  return true;
}

function serve() {
  const roots = { web: args.web, demo, work: args.work };
  const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
    '.png': 'image/png' };
  const server = http.createServer((request, response) => {
    const [root, ...rest] = decodeURIComponent(new URL(request.url, 'http://x').pathname)
        .slice(1).split('/');
    const file = path.join(roots[root] || '/nonexistent', ...rest);
    fs.readFile(file, (error, bytes) => {
      if (error || rest.includes('..')) {
        response.writeHead(404);
        response.end();
        return;
      }
      response.writeHead(200, { 'Content-Type': types[path.extname(file)] ||
          'application/octet-stream', 'Content-Length': bytes.length });
      response.end(bytes);
    });
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// The canvas against a reference PNG, pixel for pixel: how many differ, and the largest
// difference of a channel.
async function differing(page, url) {
  return page.evaluate(async (url) => {
    const picture = new Image();
    picture.src = url;
    await picture.decode();
    const scratch = document.createElement('canvas');
    scratch.width = picture.width;
    scratch.height = picture.height;
    const context = scratch.getContext('2d');
    context.drawImage(picture, 0, 0);
    const want = context.getImageData(0, 0, picture.width, picture.height).data;
    const screen = document.getElementById('screen');
    if (screen.width !== picture.width || screen.height !== picture.height)
      return `${screen.width}x${screen.height} against ${picture.width}x${picture.height}`;
    const got = screen.getContext('2d').getImageData(0, 0, screen.width, screen.height).data;
    let count = 0, largest = 0;
    for (let i = 0; i < got.length; i += 4) {
      const most = Math.max(Math.abs(got[i] - want[i]), Math.abs(got[i + 1] - want[i + 1]),
          Math.abs(got[i + 2] - want[i + 2]));
      if (most) ++count;
      largest = Math.max(largest, most);
    }
    return { count, largest };
  }, url);
}

// Where a pixel of the presentation lies on the page, from the canvas as placed.
async function pagePoint(page, [x, y]) {
  const box = await page.$eval('#screen', (screen) => {
    const rect = screen.getBoundingClientRect();
    return { left: rect.left, top: rect.top, width: rect.width, height: rect.height,
      frameWidth: screen.width, frameHeight: screen.height };
  });
  return [box.left + (x + 0.5) * box.width / box.frameWidth,
    box.top + (y + 0.5) * box.height / box.frameHeight, box];
}

async function until(page, condition, what, ms = 20000) {
  try {
    await page.waitForFunction(condition, { timeout: ms, polling: 50 });
  } catch (error) {
    const state = await page.evaluate(() => JSON.stringify(window.vekePlayer || null));
    throw new Error(`${what} did not come within ${ms} ms; player: ${state}`);
  }
}

async function runCase(browser, base, test) {
  const page = await browser.newPage();
  const problems = [];
  page.on('dialog', (dialog) => {
    problems.push(`a dialog box: ${dialog.message()}`);
    dialog.dismiss();
  });
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
  await page.setViewport({ ...kViewport, deviceScaleFactor: test.pixelRatio || 1 });
  if (test.sound === 'ScriptProcessor') {
    await page.evaluateOnNewDocument(() => Object.defineProperty(BaseAudioContext.prototype,
        'audioWorklet', { get: () => undefined }));
  }
  const step = test.at ? '&step=20' : '';
  const section = test.section ? `&section=${test.section}` : '';
  await page.goto(
      `${base}/web/veke.html?play=${encodeURIComponent(`../${test.play}`)}${step}${section}`);
  await until(page, () => window.vekePlayer && window.vekePlayer.state !== 'loading', 'the play');

  if (test.failure || test.messages) {
    if (test.failure || test.ends)
      await until(page, () => window.vekePlayer.state === 'ended', 'the end of the play');
    else
      await until(page, () => window.vekePlayer.messages.length > 0, 'a message');
    const shown = await page.$$eval('#messages .message', (boxes) =>
        boxes.map((box) => box.textContent));
    const said = await page.evaluate(() => window.vekePlayer.messages);
    if (!shown.length) problems.push('no message in the page');
    if (test.failure && !said.some((text) => test.failure.test(text)))
      problems.push(`no message matches ${test.failure}: ${JSON.stringify(said)}`);
    if (test.messages) {
      // The desktop's own words, as veke-render writes them to stderr.
      const desktop = reference(test, 0);
      for (const text of said)
        if (!desktop.some((line) => line.endsWith(text)))
          problems.push(`"${text}" is not what the desktop says: ${JSON.stringify(desktop)}`);
    }
  }

  if (test.at) {
    const box = (await pagePoint(page, [0, 0]))[2];
    // The desktop's sharp fit of 640x480 in the page: 800x600, centred between bands.
    if (box.left !== 100 || box.top !== 0 || box.width !== 800 || box.height !== 600)
      problems.push(`the picture is placed at ${JSON.stringify(box)}`);
    let clickAt = 0;
    if (test.click) {
      const shownAt = await page.evaluate(() => window.vekePlayer.stepTo(2000));
      const [x, y] = await pagePoint(page, kButtons[test.click]);
      await page.mouse.click(x, y);
      clickAt = shownAt + 20;  // the next frame takes the click
    }
    reference(test, clickAt);
    let wasm = null;
    for (const ms of test.at) {
      const shownAt = await page.evaluate((ms) => window.vekePlayer.stepTo(ms), ms);
      if (shownAt < 0) {
        problems.push(`the play ended before ${ms} ms`);
        break;
      }
      const desktop = await differing(page, `${base}/work/ref-${ms}.png`);
      if (desktop.count === 0) continue;
      if (wasm === null) wasm = renderInBrowserBuild(test, clickAt);
      const own = wasm ? await differing(page, `${base}/work/wasm-${ms}.png`) : desktop;
      if (own.count || desktop.largest > kEngineRounding) {
        problems.push(`at ${ms} ms: ${desktop.count} pixels differ from the desktop's ` +
            `veke-render's frame, by up to ${desktop.largest}` + (wasm ? `, and ${own.count} ` +
            `from the browser build's, by up to ${own.largest}` : ''));
        const shown = await page.$eval('#screen', (screen) => screen.toDataURL('image/png'));
        fs.writeFileSync(path.join(args.work, `shown-${ms}.png`),
            Buffer.from(shown.split(',')[1], 'base64'));
      }
    }
  }

  if (test.resize) {
    // A tall window: the picture goes to its middle, bands above and below.
    await page.setViewport({ width: 640, height: 960 });
    await until(page, () => document.getElementById('screen').getBoundingClientRect().top === 240,
        'the picture in the middle of a tall window', 5000);
    const box = (await pagePoint(page, [0, 0]))[2];
    if (box.left !== 0 || box.width !== 640 || box.height !== 480)
      problems.push(`after a resize the picture is placed at ${JSON.stringify(box)}`);
  }

  if (test.sound) {
    await until(page, () => window.vekePlayer.framesShown() > 20, 'twenty frames');
    const before = await page.evaluate(() => ({ ...window.vekePlayer.sound }));
    if (before.played !== 0) problems.push('sound played before any click');
    const [x, y] = await pagePoint(page, [20, 200]);  // beside every button
    await page.mouse.click(x, y);
    await until(page, () => window.vekePlayer.sound.played > 44100 / 2, 'half a second of sound');
    const after = await page.evaluate(() => ({ ...window.vekePlayer.sound,
      mixed: window.vekePlayer.framesMixed() }));
    if (after.output !== test.sound) problems.push(`sound through ${after.output}`);
    if (after.mixed < 44100 / 2) problems.push(`only ${after.mixed} frames mixed`);
    // The demo's music plays from its start: what the output got must not be silence.
    if (after.heard < 44100 / 4) problems.push(`only ${after.heard} frames were not silent`);
  }
  await page.close();
  return problems;
}

async function main() {
  prepare();
  const server = await serve();
  const base = `http://127.0.0.1:${server.address().port}`;
  const browser = await puppeteer.launch({
    executablePath: args.browser,
    headless: true,
    // A closed network refuses the browser's own calls home; these keep it from making them.
    args: ['--no-sandbox', '--disable-gpu', '--mute-audio', '--disable-quic',
           '--disable-background-networking', '--disable-component-update', '--disable-sync',
           '--no-first-run'],
  });
  let failed = 0;
  const only = process.env.VEKE_WEB_CASE;
  for (const test of cases) {
    if (only && !test.name.includes(only)) continue;
    let problems;
    try {
      problems = await runCase(browser, base, test);
    } catch (error) {
      problems = [error.message];
    }
    console.log(`${problems.length ? 'FAIL' : 'ok  '} ${test.name}`);
    for (const problem of problems) console.log(`     ${problem}`);
    if (problems.length) ++failed;
  }
  await browser.close();
  server.close();
  if (failed) console.log(`${failed} of the cases failed; work folder ${args.work}`);
  process.exit(failed ? 1 : 0);
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
