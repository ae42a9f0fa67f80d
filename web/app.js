// The page: the board, the controls, and the conversation with the engine in its Web Worker.
// The engine gets what a tournament manager sends (START, INFO, BEGIN, TURN, BOARD ... DONE) and
// its answers are taken as a manager takes them: a move line, OK, ERROR lines, MESSAGE reports.
//
// Two modes share one game record. In play, the player and Tarn take turns. On the analysis
// board, stones of either colour go anywhere and Tarn searches the position for the side to move
// without playing. The engine reads nothing while it searches, so a search is stopped by ending
// its worker and starting a fresh one.
import {
  DEFAULT_STRENGTH, LEVELS, PASS, SIZE, TIMES_MS, boardBlock, boardOf, describeScore, formatLink,
  formatMoves, graphHeight, onBoard, outcome, parseLink, parseReport, sideToMove, stoneOfMove,
  strengthSettings,
} from './game.js';

const $ = (id) => document.getElementById(id);
const boardEl = $('board');
const reportBody = $('report').tBodies[0];
const cells = [];

// The time_left sent with every move: the page keeps no match clock.
const NO_MATCH_LIMIT = 2147483647;
// An analysis runs until its search is settled or reaches the deepest iteration, or is stopped:
// the engine caps a move at a tenth of time_left, over three weeks here.
const ANALYSIS_MS = 2147483647;
const SETTINGS_KEY = 'tarn.settings';

const game = {
  moves: [], // { x, y } or PASS in the order played; the first move is black's
  mode: 'play', // or 'analysis'
  humanFirst: true,
  strength: DEFAULT_STRENGTH,
  result: null, // what outcome() says once the game is over
  // The search running: 'move' for Tarn's turn, 'analysis' on the analysis board, or null.
  searching: null,
  searchStone: 0, // the stone Tarn searches for
  thinkingSince: 0,
  hint: null, // the best move of the latest search report
  analysing: false, // the analysis board searches every position it shows
  analysisEnd: '', // how the last analysis ended, for the status line
  lastReport: null,
  // Tarn's evaluation of the position after i moves, where it searched one: { score, stone }.
  evals: [],
  // How many moves of this game the engine has been told, or -1 when its own game is another
  // one (new game, take back, a link, an analysis): it is then told the whole position.
  engineKnows: -1,
};

// `threads` is how many the engine searches on; a threaded engine that fails before it is
// ready is replaced by the one-thread engine, and the page says why. Commands for an engine
// that is still loading wait in `pending`, where a newer search replaces them: ending a worker
// while it loads would also cut off the workers of its threads halfway through their loading.
const engine = {
  worker: null, generation: 0, ready: false, failed: false, threaded: false, threads: 1, note: '',
  pending: null,
};

const humanStone = () => (game.humanFirst ? 1 : 2);
const humanToMove = () => sideToMove(game.moves) === humanStone();
const isHumanMove = (index) => stoneOfMove(index) === humanStone();
const stoneName = (stone) => (stone === 1 ? 'black' : 'white');
const sideName = (stone) => (stone === 1 ? 'Black' : 'White');

// ---- The engine ----

// Shared memory, which the threaded engine needs, is given only to a cross-origin isolated page.
const canThread = () => self.crossOriginIsolated === true && typeof SharedArrayBuffer === 'function' &&
  (navigator.hardwareConcurrency || 1) > 1;

function startEngine(threaded = engine.threaded) {
  const generation = ++engine.generation;
  engine.worker?.terminate();
  engine.ready = false;
  engine.failed = false;
  engine.threaded = threaded;
  engine.pending = null;
  game.engineKnows = -1;
  const worker = new Worker(threaded ? 'engine-worker.js?threads' : 'engine-worker.js');
  engine.worker = worker;
  // A worker replaced by a new one may still have messages on the way: they are dropped.
  worker.onmessage = (event) => generation === engine.generation && onEngineMessage(event.data);
  worker.onerror = (event) => {
    event.preventDefault();
    if (generation === engine.generation) engineFailed(event.message || 'engine-worker.js did not load');
  };
}

function onEngineMessage(message) {
  if (message.ready) {
    engine.ready = true;
    engine.threads = message.threads;
    if (engine.pending) engine.worker.postMessage(engine.pending);
    engine.pending = null;
    render();
  } else if (message.failed) {
    engineFailed(message.failed);
  } else if (message.stderr) {
    // The runtime's last words come after its failure report, which says more.
    if (!engine.failed) showError(`The engine's runtime says: ${message.stderr}`);
  } else if (message.line !== undefined) {
    onEngineLine(message.line);
  }
}

function engineFailed(reason) {
  if (engine.threaded && !engine.ready) {
    engine.note = `The engine with threads did not start (${reason}), so Tarn searches on one thread.`;
    const resume = game.searching;
    stopSearch();
    startEngine(false);
    if (resume === 'analysis') requestAnalysis();
    else if (resume === 'move') requestEngineMove();
    return render();
  }
  engine.failed = true;
  stopSearch();
  showError(`The engine could not be loaded or stopped working: ${reason}. The page needs a ` +
    'browser with WebAssembly and Web Workers; reload it to try again.');
  render();
}

function onEngineLine(line) {
  const report = parseReport(line, game.searching === 'analysis' ? sideName(game.searchStone) : 'Tarn');
  if (report) return addReport(report, line);
  if (line === 'OK') return;
  const move = /^(\d+),(\d+)$/.exec(line);
  if (move && game.searching === 'move') return engineMoved(Number(move[1]), Number(move[2]));
  if (move && game.searching === 'analysis') return analysisDone(Number(move[1]), Number(move[2]));
  if (line.startsWith('ERROR') || line.startsWith('UNKNOWN')) {
    showError(`The engine answered: ${line}`);
    stopSearch();
    game.engineKnows = -1;
    return render();
  }
  showError(`The engine said something unexpected: ${line}`);
}

// Notes the final evaluation of the search that just ended for the position after n moves.
function keepEvaluation(n) {
  game.evals.length = Math.min(game.evals.length, n);
  if (game.lastReport) game.evals[n] = { score: game.lastReport.score, stone: game.searchStone };
}

function engineMoved(x, y) {
  if (!onBoard(x, y) || boardOf(game.moves)[x + SIZE * y]) {
    stopSearch();
    showError(`The engine played ${x},${y}, which is not a free cell of the board.`);
    game.engineKnows = -1;
    return render();
  }
  keepEvaluation(game.moves.length);
  stopSearch();
  game.moves.push({ x, y });
  game.engineKnows = game.moves.length;
  game.result = outcome(game.moves);
  render();
}

// The engine answers an analysis with the move it would play; the engine's own game then holds
// that move, which the page's does not.
function analysisDone(x, y) {
  keepEvaluation(game.moves.length);
  const report = game.lastReport;
  stopSearch();
  game.engineKnows = -1;
  game.hint = { x, y };
  game.analysisEnd = report
    ? `Tarn's best move for ${sideName(sideToMove(game.moves)).toLowerCase()}: ${x},${y} (depth ${report.depth}, ${report.score.text}).`
    : `Tarn plays ${x},${y} for ${stoneName(sideToMove(game.moves))} without a search: a forced move, or the first.`;
  render();
}

function settingsLines(timeoutTurn, maxNodes) {
  return `INFO timeout_turn ${timeoutTurn}\nINFO time_left ${NO_MATCH_LIMIT}\nINFO max_node ${maxNodes}\n`;
}

function startSearch(kind, lines) {
  clearReport();
  game.searching = kind;
  game.searchStone = sideToMove(game.moves);
  game.thinkingSince = performance.now();
  game.hint = null;
  if (engine.ready) engine.worker.postMessage(lines);
  else engine.pending = lines;
}

// Asks the engine for its move in the current position.
function requestEngineMove() {
  const n = game.moves.length;
  const { timeoutTurn, maxNodes } = strengthSettings(game.strength);
  const info = settingsLines(timeoutTurn, maxNodes);
  let lines;
  if (n > 0 && game.engineKnows === n - 1 && !game.moves[n - 1].pass) {
    const { x, y } = game.moves[n - 1];
    lines = `${info}TURN ${x},${y}\n`;
  } else if (n === 0) {
    lines = `START 20\n${info}BEGIN\n`;
  } else {
    lines = `START 20\n${info}${boardBlock(game.moves)}`;
  }
  startSearch('move', lines);
}

function requestAnalysis() {
  game.analysisEnd = '';
  startSearch('analysis', `START 20\n${settingsLines(ANALYSIS_MS, 0)}${boardBlock(game.moves)}`);
}

function stopSearch() {
  game.searching = null;
  game.hint = null;
}

// Leaving a position while the engine searches it starts a fresh engine instead; a search the
// engine has not been given yet is only dropped.
function abandonSearch() {
  if (!game.searching) return;
  stopSearch();
  if (engine.ready) startEngine();
  else engine.pending = null;
}

// After every change of the position: Tarn's turn in play, a new search on the analysis board.
function afterPositionChange() {
  game.result = outcome(game.moves);
  game.evals.length = Math.min(game.evals.length, game.moves.length + 1);
  game.analysisEnd = '';
  game.hint = null;
  clearReport();
  if (engine.failed || game.result) return;
  if (game.mode === 'play' && !humanToMove()) requestEngineMove();
  else if (game.mode === 'analysis' && game.analysing) requestAnalysis();
}

// ---- The player's actions ----

function onCellClick(x, y) {
  if (game.result || engine.failed || boardOf(game.moves)[x + SIZE * y]) return;
  if (game.mode === 'play') {
    if (game.searching || !humanToMove()) return;
    game.moves.push({ x, y });
  } else {
    const place = document.querySelector('input[name=place]:checked').value;
    const stone = place === 'black' ? 1 : place === 'white' ? 2 : sideToMove(game.moves);
    abandonSearch();
    if (stone !== sideToMove(game.moves)) game.moves.push(PASS);
    game.moves.push({ x, y });
  }
  afterPositionChange();
  render();
}

function newGame() {
  abandonSearch();
  if (engine.failed) startEngine();
  hideError();
  game.moves = [];
  game.evals = [];
  game.engineKnows = -1;
  game.humanFirst = document.querySelector('input[name=side]:checked').value === 'first';
  saveSettings();
  afterPositionChange();
  render();
}

// Takes back the player's last move and everything after it, so the player is to move again.
function takeBack() {
  if (game.searching) return;
  let last = game.moves.length - 1;
  while (last >= 0 && (!isHumanMove(last) || game.moves[last].pass)) --last;
  if (last < 0) return;
  game.moves.length = last;
  game.engineKnows = -1;
  hideError();
  afterPositionChange();
  render();
}

// On the analysis board: a pass that only gave the move to the other side goes by itself; a
// stone goes with the passes that came before it.
function undo() {
  if (!game.moves.length) return;
  abandonSearch();
  if (!game.moves.at(-1).pass) game.moves.pop();
  while (game.moves.at(-1)?.pass) game.moves.pop();
  afterPositionChange();
  render();
}

function switchSide() {
  if (game.result) return;
  abandonSearch();
  if (game.moves.at(-1)?.pass) game.moves.pop();
  else game.moves.push(PASS);
  afterPositionChange();
  render();
}

function clearBoard() {
  abandonSearch();
  game.moves = [];
  game.evals = [];
  afterPositionChange();
  render();
}

function toggleAnalysis() {
  if (game.analysing) {
    game.analysing = false;
    if (game.searching) {
      const report = game.lastReport;
      game.analysisEnd = report ? `Stopped at depth ${report.depth}: best ${report.best.x},${report.best.y} (${report.score.text}).` : 'Stopped.';
      keepEvaluation(game.moves.length);
      const hint = game.hint;
      abandonSearch();
      game.hint = hint;
    }
  } else {
    game.analysing = true;
    if (!game.result && !engine.failed) requestAnalysis();
  }
  render();
}

// Play continues from the position with the player on the side to move.
function setMode(mode) {
  if (mode === game.mode) return;
  abandonSearch();
  game.mode = mode;
  game.analysing = mode === 'analysis';
  if (mode === 'play') {
    game.humanFirst = sideToMove(game.moves) === 1;
    checkRadio('side', game.humanFirst ? 'first' : 'second');
    saveSettings();
  }
  hideError();
  afterPositionChange();
  render();
}

function setStrength(strength) {
  game.strength = strength;
  saveSettings();
  render();
}

function checkRadio(name, value) {
  const input = document.querySelector(`input[name=${name}][value=${value}]`);
  if (input) input.checked = true;
}

// The level and side kept for the next visit; a link's own settings win over them.
function saveSettings() {
  try {
    localStorage.setItem(SETTINGS_KEY, JSON.stringify({
      strength: game.strength, side: game.humanFirst ? 'first' : 'second',
    }));
  } catch {
    // Storage may be switched off; the settings then last as long as the page.
  }
}

function loadSettings() {
  try {
    const saved = JSON.parse(localStorage.getItem(SETTINGS_KEY) ?? '{}');
    if (strengthSettings(saved.strength ?? '')) game.strength = saved.strength;
    if (saved.side) game.humanFirst = saved.side !== 'second';
  } catch {
    // Nothing kept, or nothing readable: the defaults stand.
  }
}

// Opens the position and settings of a "#moves=x,y;x,y;...&strength=...&side=...&mode=..." link,
// on the page's first showing (`opening`) and when the address changes. A link with moves but
// without a side gives the player the side to move.
function openLink(opening = false) {
  const link = parseLink(location.hash);
  if (link.error) {
    showError(`The link holds no game this page can open: ${link.error}.`);
    if (!opening) return;
    link.moves = [];
  }
  if (link.strength) game.strength = link.strength;
  const mode = link.mode ?? 'play';
  const humanFirst = link.side ? link.side === 'first'
    : link.moves.length ? link.moves.length % 2 === 0 : game.humanFirst;
  const same = formatMoves(link.moves) === formatMoves(game.moves) && mode === game.mode &&
    humanFirst === game.humanFirst;
  saveSettings();
  if (same && !opening) return render();
  abandonSearch();
  hideError();
  game.moves = link.moves;
  game.evals = [];
  game.mode = mode;
  game.analysing = mode === 'analysis';
  game.humanFirst = humanFirst;
  game.engineKnows = -1;
  saveSettings();
  afterPositionChange();
  render();
}

async function copyText(text, button) {
  try {
    await navigator.clipboard.writeText(text);
  } catch {
    // Pages served over plain http from another host have no clipboard API.
    const area = $('moves');
    const before = area.value;
    area.value = text;
    area.select();
    document.execCommand('copy');
    area.value = before;
  }
  const label = button.textContent;
  button.textContent = 'Copied';
  setTimeout(() => (button.textContent = label), 1200);
}

// ---- The search report ----

function addReport(report, line) {
  const row = reportBody.insertRow(0);
  row.title = line;
  const values = [report.depth, `${report.best.x},${report.best.y}`, report.score.text,
    report.nodes, report.time, report.speed];
  for (const value of values) row.insertCell().textContent = value;
  row.cells[2].className = `score ${report.score.kind}`;
  row.cells[2].title = report.score.title;
  $('report-empty').hidden = true;
  $('search-summary').textContent = `depth ${report.depth} · ${report.score.text}`;
  if (game.searching) {
    game.lastReport = report;
    game.hint = report.best;
    render();
  }
}

function clearReport() {
  reportBody.replaceChildren();
  game.lastReport = null;
  $('report-empty').hidden = false;
  $('search-summary').textContent = '';
}

// ---- Showing the state ----

function showError(text) {
  $('error-text').textContent = text;
  $('error').hidden = false;
}

function hideError() {
  if (!engine.failed) $('error').hidden = true;
}

// The board's points are buttons; one of them at a time is in the tab order, and the arrow keys
// move it, so the board is one stop for the Tab key and Enter or Space puts a stone.
const focus = { x: 9, y: 9 };

function moveFocus(x, y) {
  cells[focus.y][focus.x].tabIndex = -1;
  focus.x = Math.max(0, Math.min(SIZE - 1, x));
  focus.y = Math.max(0, Math.min(SIZE - 1, y));
  const cell = cells[focus.y][focus.x];
  cell.tabIndex = 0;
  cell.focus();
}

const ARROWS = { ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, -1], ArrowDown: [0, 1] };

function buildBoard() {
  const label = (text, className) => {
    const el = document.createElement('span');
    el.className = `coord ${className}`;
    el.textContent = text;
    el.setAttribute('aria-hidden', 'true');
    return el;
  };
  boardEl.append(label('', 'corner'));
  for (let x = 0; x < SIZE; ++x) boardEl.append(label(x, 'column'));
  for (let y = 0; y < SIZE; ++y) {
    boardEl.append(label(y, 'row'));
    cells.push([]);
    for (let x = 0; x < SIZE; ++x) {
      const cell = document.createElement('button');
      cell.className = 'cell';
      cell.dataset.x = x;
      cell.dataset.y = y;
      cell.tabIndex = x === focus.x && y === focus.y ? 0 : -1;
      cell.append(document.createElement('span'));
      cell.firstChild.className = 'stone';
      cells[y].push(cell);
      boardEl.append(cell);
    }
  }
  boardEl.addEventListener('click', (event) => {
    const cell = event.target.closest('.cell');
    if (!cell) return;
    focus.x = Number(cell.dataset.x);
    focus.y = Number(cell.dataset.y);
    onCellClick(focus.x, focus.y);
  });
  boardEl.addEventListener('keydown', (event) => {
    const step = ARROWS[event.key];
    if (step && event.target.closest('.cell')) {
      event.preventDefault();
      moveFocus(focus.x + step[0], focus.y + step[1]);
    } else if (event.key === 'Home' || event.key === 'End') {
      event.preventDefault();
      moveFocus(event.key === 'Home' ? 0 : SIZE - 1, focus.y);
    }
  });
}

function statusText() {
  if (engine.failed) return 'The engine is not available.';
  const { result } = game;
  const seconds = () => ((performance.now() - game.thinkingSince) / 1000).toFixed(1);
  if (result?.draw) return 'Draw: the board is full.';
  if (game.mode === 'analysis') {
    const toMove = sideName(sideToMove(game.moves));
    if (result) return `${sideName(result.winner)} has five in a row.`;
    if (game.searching) return `${toMove} to move: Tarn is searching… ${seconds()} s`;
    if (game.analysisEnd) return game.analysisEnd;
    if (!engine.ready) return 'Loading the engine…';
    return `${toMove} to move. Put stones, or press Search.`;
  }
  const you = stoneName(humanStone());
  if (result) return result.winner === humanStone() ? 'You win: five in a row!' : 'Tarn wins: five in a row.';
  if (game.searching) return `Tarn is thinking… ${seconds()} s`;
  if (!engine.ready) return 'Loading the engine…';
  return game.moves.length ? `Your move (${you}).` : `Your move: you play ${you}; click any point.`;
}

function engineText() {
  if (engine.failed) return 'The engine is not running.';
  if (!engine.ready) return 'Loading the engine…';
  if (engine.threads > 1) return `WebAssembly on ${engine.threads} threads.`;
  if (engine.note) return `WebAssembly on one thread. ${engine.note}`;
  if (!self.crossOriginIsolated) {
    return 'WebAssembly on one thread: this page is not cross-origin isolated, so the browser ' +
      'gives it no shared memory for threads.';
  }
  return 'WebAssembly on one thread (this device has one core).';
}

function cellLabel(x, y, stone, marks) {
  const what = stone ? `${stoneName(stone)} stone` : 'empty';
  return [`${x},${y}`, what, ...marks].join(', ');
}

function render() {
  const board = boardOf(game.moves);
  const last = [...game.moves].reverse().find((move) => !move.pass);
  const winning = new Set((game.result?.line ?? []).map(({ x, y }) => `${x},${y}`));
  for (let y = 0; y < SIZE; ++y) {
    for (let x = 0; x < SIZE; ++x) {
      const cell = cells[y][x];
      const stone = board[x + SIZE * y];
      if (stone) cell.dataset.stone = stoneName(stone);
      else delete cell.dataset.stone;
      const marks = [];
      const isLast = last?.x === x && last?.y === y;
      const isWin = winning.has(`${x},${y}`);
      const isHint = !stone && game.hint?.x === x && game.hint?.y === y;
      if (isLast) marks.push('last move');
      if (isWin) marks.push('five in a row');
      if (isHint) marks.push("Tarn's best move");
      cell.classList.toggle('last', isLast);
      cell.classList.toggle('win', isWin);
      cell.classList.toggle('hint', isHint);
      const text = cellLabel(x, y, stone, marks);
      if (cell.getAttribute('aria-label') !== text) cell.setAttribute('aria-label', text);
    }
  }
  const analysis = game.mode === 'analysis';
  const yourTurn = !game.result && !engine.failed &&
    (analysis || (!game.searching && humanToMove()));
  boardEl.classList.toggle('your-turn', yourTurn);
  boardEl.classList.toggle('thinking', Boolean(game.searching));
  const placing = document.querySelector('input[name=place]:checked')?.value;
  const next = placing === 'black' ? 1 : placing === 'white' ? 2 : sideToMove(game.moves);
  boardEl.dataset.you = stoneName(analysis ? next : humanStone());
  boardEl.dataset.engine = stoneName(analysis ? sideToMove(game.moves) : 3 - humanStone());
  document.body.dataset.mode = game.mode;
  checkRadio('mode', game.mode);
  checkRadio('side', game.humanFirst ? 'first' : 'second');
  $('strength').value = game.strength;

  const status = $('status');
  status.classList.toggle('busy', Boolean(game.searching) || (!engine.ready && !engine.failed));
  const won = !analysis && game.result?.winner === humanStone();
  status.classList.toggle('won', Boolean(won));
  status.classList.toggle('lost', Boolean(!analysis && game.result && game.result.winner === 3 - humanStone()));
  $('status-text').textContent = statusText();
  $('engine-info').textContent = engineText();

  $('take-back').disabled = Boolean(game.searching) ||
    !game.moves.some((move, i) => isHumanMove(i) && !move.pass);
  $('undo').disabled = !game.moves.length;
  $('clear').disabled = !game.moves.length;
  $('analyse').textContent = game.analysing ? 'Stop' : 'Search';
  $('analyse').disabled = !game.analysing && (Boolean(game.result) || engine.failed);
  $('switch-side').setAttribute('aria-label', `Pass: give the move to ${stoneName(3 - sideToMove(game.moves))}`);
  $('switch-side').title = $('switch-side').getAttribute('aria-label');
  $('switch-side').disabled = Boolean(game.result);
  $('score-heading').title = analysis
    ? 'from the side to move: above 0 favours it'
    : "from Tarn's side: above 0 favours Tarn";

  $('moves').value = formatMoves(game.moves, ' ');
  const stones = game.moves.filter((move) => !move.pass).length;
  $('move-count').textContent = stones ? `${stones} stone${stones === 1 ? '' : 's'}` : '';
  const url = new URL(location.href);
  url.hash = formatLink({
    moves: game.moves, strength: game.strength, side: game.humanFirst ? 'first' : 'second',
    mode: analysis ? 'analysis' : undefined,
  });
  if (url.href !== location.href) history.replaceState(null, '', url.href);
  $('link').href = url.href;
  drawGraph();
}

// The evaluation graph: black's side up, one point for each position Tarn searched, over the
// whole game so far; forced wins and losses sit on the edges as hollow marks.
function drawGraph() {
  const svg = $('graph');
  const n = Math.max(game.moves.length, 20);
  // Drawn in the graph's own proportions, so that its points stay round.
  const box = svg.getBoundingClientRect();
  const width = box.width > 0 && box.height > 0 ? Math.round((100 * box.width) / box.height) : 300;
  const xOf = (i) => 4 + (i / n) * (width - 8);
  const yOf = (h) => 50 - h * 44;
  const points = game.evals.flatMap((entry, i) => (entry ? [{ i, entry, h: graphHeight(entry.score, entry.stone) }] : []));
  const parts = [
    `<rect class="ahead-black" x="0" y="0" width="${width}" height="50"/>`,
    `<line class="axis" x1="0" y1="50" x2="${width}" y2="50"/>`,
  ];
  if (points.length > 1) {
    parts.push(`<polyline class="trend" points="${points.map((p) => `${xOf(p.i).toFixed(1)},${yOf(p.h).toFixed(1)}`).join(' ')}"/>`);
  }
  for (const { i, entry, h } of points) {
    const forced = entry.score.forced ? ' forced' : '';
    const who = entry.stone === 1 ? 'black' : 'white';
    const title = `after ${i} moves: ${entry.score.text} for ${who}`;
    parts.push(`<circle class="point${forced}" data-index="${i}" cx="${xOf(i).toFixed(1)}" cy="${yOf(h).toFixed(1)}" r="2.2"><title>${title}</title></circle>`);
  }
  svg.setAttribute('viewBox', `0 0 ${width} 100`);
  svg.innerHTML = parts.join('');
  $('graph-figure').classList.toggle('empty', points.length === 0);
}

// ---- Start ----

function fillStrengths() {
  const select = $('strength');
  const group = (label, options) => {
    const el = document.createElement('optgroup');
    el.label = label;
    for (const [value, text] of options) el.append(new Option(text, value));
    select.append(el);
  };
  const names = { 1: 'beginner', [LEVELS.length]: 'full strength' };
  group('Levels: the same moves on every device', LEVELS.map(({ level }) =>
    [`level-${level}`, `Level ${level}${names[level] ? ` · ${names[level]}` : ''}`]));
  group('Time per move: deeper on a faster device', TIMES_MS.map((ms) =>
    [`time-${ms}`, ms < 1000 ? `${ms / 1000} seconds per move` : `${ms / 1000} second${ms > 1000 ? 's' : ''} per move`]));
}

fillStrengths();
buildBoard();
loadSettings();
$('new-game').addEventListener('click', newGame);
$('take-back').addEventListener('click', takeBack);
$('undo').addEventListener('click', undo);
$('clear').addEventListener('click', clearBoard);
$('switch-side').addEventListener('click', switchSide);
$('analyse').addEventListener('click', toggleAnalysis);
$('strength').addEventListener('change', (event) => setStrength(event.target.value));
for (const radio of document.querySelectorAll('input[name=side]')) radio.addEventListener('change', newGame);
for (const radio of document.querySelectorAll('input[name=mode]')) radio.addEventListener('change', (event) => setMode(event.target.value));
for (const radio of document.querySelectorAll('input[name=place]')) radio.addEventListener('change', render);
$('copy-moves').addEventListener('click', (event) => copyText($('moves').value, event.target));
$('copy-link').addEventListener('click', (event) => copyText($('link').href, event.target));
$('error-close').addEventListener('click', () => ($('error').hidden = true));
window.addEventListener('hashchange', () => openLink());
window.addEventListener('resize', drawGraph);
setInterval(() => game.searching && ($('status-text').textContent = statusText()), 100);

startEngine(canThread());
openLink(true);
