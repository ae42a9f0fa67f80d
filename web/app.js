// The page: the board, the controls, and the conversation with the engine in its Web Worker.
// The engine gets what a tournament manager sends (START, INFO, BEGIN, TURN, BOARD ... DONE) and
// its answers are taken as a manager takes them: a move line, OK, ERROR lines, MESSAGE reports.
import { SIZE, boardOf, formatMoves, onBoard, outcome, parseMoves, parseReport } from './game.js';

const $ = (id) => document.getElementById(id);
const boardEl = $('board');
const reportBody = $('report').tBodies[0];
const cells = [];

// The time_left sent with every move: the page keeps no match clock.
const NO_MATCH_LIMIT = 2147483647;

const game = {
  moves: [], // { x, y } in the order played; the first move is black's
  humanFirst: true,
  result: null, // what outcome() says once the game is over
  thinking: false,
  thinkingSince: 0,
  hint: null, // the best move of the latest search report while the engine thinks
  // How many moves of this game the engine has been told, or -1 when its own game is another
  // one (new game, take back, a link): it is then told the whole game with START and BOARD.
  engineKnows: -1,
};

const engine = { worker: null, generation: 0, ready: false, failed: false };

const humanStone = () => (game.humanFirst ? 1 : 2);
const humanToMove = () => (game.moves.length % 2 === 0) === game.humanFirst;
const isHumanMove = (index) => (index % 2 === 0) === game.humanFirst;
const stoneName = (stone) => (stone === 1 ? 'black' : 'white');

// ---- The engine ----

function startEngine() {
  const generation = ++engine.generation;
  engine.worker?.terminate();
  engine.ready = false;
  engine.failed = false;
  game.engineKnows = -1;
  const worker = new Worker('engine-worker.js');
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
  engine.failed = true;
  game.thinking = false;
  showError(`The engine could not be loaded or stopped working: ${reason}. The page needs a ` +
    'browser with WebAssembly and Web Workers; reload it to try again.');
  render();
}

function onEngineLine(line) {
  const report = parseReport(line);
  if (report) return addReport(report, line);
  if (line === 'OK') return;
  const move = /^(\d+),(\d+)$/.exec(line);
  if (move && game.thinking) return engineMoved(Number(move[1]), Number(move[2]));
  if (line.startsWith('ERROR') || line.startsWith('UNKNOWN')) {
    showError(`The engine answered: ${line}`);
    if (game.thinking) stopThinking();
    game.engineKnows = -1;
    return render();
  }
  showError(`The engine said something unexpected: ${line}`);
}

function engineMoved(x, y) {
  stopThinking();
  if (!onBoard(x, y) || boardOf(game.moves)[x + SIZE * y]) {
    showError(`The engine played ${x},${y}, which is not a free cell of the board.`);
    game.engineKnows = -1;
    return render();
  }
  game.moves.push({ x, y });
  game.engineKnows = game.moves.length;
  game.result = outcome(game.moves);
  render();
}

// Asks the engine for its move in the current position.
function requestEngineMove() {
  const n = game.moves.length;
  const info = `INFO timeout_turn ${$('time').value}\nINFO time_left ${NO_MATCH_LIMIT}\n`;
  let lines;
  if (n > 0 && game.engineKnows === n - 1) {
    const { x, y } = game.moves[n - 1];
    lines = `${info}TURN ${x},${y}\n`;
  } else if (n === 0) {
    lines = `START 20\n${info}BEGIN\n`;
  } else {
    const stones = game.moves.map(({ x, y }, i) => `${x},${y},${isHumanMove(i) ? 2 : 1}\n`);
    lines = `START 20\n${info}BOARD\n${stones.join('')}DONE\n`;
  }
  clearReport();
  game.thinking = true;
  game.thinkingSince = performance.now();
  engine.worker.postMessage(lines);
}

function stopThinking() {
  game.thinking = false;
  game.hint = null;
}

// A search cannot be interrupted inside the worker: leaving a position while the engine thinks
// starts a fresh engine instead.
function abandonSearch() {
  if (!game.thinking) return;
  stopThinking();
  startEngine();
}

// ---- The player's actions ----

function onCellClick(x, y) {
  if (game.thinking || game.result || engine.failed || !humanToMove()) return;
  if (boardOf(game.moves)[x + SIZE * y]) return;
  game.moves.push({ x, y });
  game.result = outcome(game.moves);
  if (!game.result) requestEngineMove();
  render();
}

function newGame() {
  abandonSearch();
  if (engine.failed) startEngine();
  hideError();
  game.moves = [];
  game.result = null;
  game.engineKnows = -1;
  game.humanFirst = document.querySelector('input[name=side]:checked').value === 'first';
  clearReport();
  if (!humanToMove() && !engine.failed) requestEngineMove();
  render();
}

// Takes back the player's last move and everything after it, so the player is to move again.
function takeBack() {
  if (game.thinking) return;
  let last = game.moves.length - 1;
  while (last >= 0 && !isHumanMove(last)) --last;
  if (last < 0) return;
  game.moves.length = last;
  game.result = null;
  game.engineKnows = -1;
  hideError();
  clearReport();
  render();
}

// Opens the position of a "#moves=x,y;x,y;..." link with the player to move.
function openLink() {
  const match = /^#moves=(.*)$/.exec(location.hash);
  if (!match) return;
  const parsed = parseMoves(decodeURIComponent(match[1]));
  if (parsed.error) return showError(`The link holds no game this page can open: ${parsed.error}.`);
  if (formatMoves(parsed.moves) === formatMoves(game.moves)) return;
  abandonSearch();
  hideError();
  game.moves = parsed.moves;
  game.humanFirst = parsed.moves.length % 2 === 0;
  document.querySelector(`input[name=side][value=${game.humanFirst ? 'first' : 'second'}]`).checked = true;
  game.result = outcome(game.moves);
  game.engineKnows = -1;
  clearReport();
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
  if (game.thinking) {
    game.hint = report.best;
    render();
  }
}

function clearReport() {
  reportBody.replaceChildren();
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
      cell.setAttribute('aria-label', `${x},${y}`);
      cell.append(document.createElement('span'));
      cell.firstChild.className = 'stone';
      cells[y].push(cell);
      boardEl.append(cell);
    }
  }
  boardEl.addEventListener('click', (event) => {
    const cell = event.target.closest('.cell');
    if (cell) onCellClick(Number(cell.dataset.x), Number(cell.dataset.y));
  });
}

function statusText() {
  if (engine.failed) return 'The engine is not available.';
  const you = stoneName(humanStone());
  const { result } = game;
  if (result?.draw) return 'Draw: the board is full.';
  if (result) return result.winner === humanStone() ? 'You win: five in a row!' : 'Tarn wins: five in a row.';
  if (game.thinking) {
    const seconds = ((performance.now() - game.thinkingSince) / 1000).toFixed(1);
    return `Tarn is thinking… ${seconds} s`;
  }
  if (!engine.ready) return 'Loading the engine…';
  return game.moves.length ? `Your move (${you}).` : `Your move: you play ${you}; click any point.`;
}

function render() {
  const board = boardOf(game.moves);
  const last = game.moves[game.moves.length - 1];
  const winning = new Set((game.result?.line ?? []).map(({ x, y }) => `${x},${y}`));
  for (let y = 0; y < SIZE; ++y) {
    for (let x = 0; x < SIZE; ++x) {
      const cell = cells[y][x];
      const stone = board[x + SIZE * y];
      if (stone) cell.dataset.stone = stoneName(stone);
      else delete cell.dataset.stone;
      cell.classList.toggle('last', last?.x === x && last?.y === y);
      cell.classList.toggle('win', winning.has(`${x},${y}`));
      cell.classList.toggle('hint', !stone && game.hint?.x === x && game.hint?.y === y);
    }
  }
  const yourTurn = !game.thinking && !game.result && !engine.failed && humanToMove();
  boardEl.classList.toggle('your-turn', yourTurn);
  boardEl.classList.toggle('thinking', game.thinking);
  boardEl.dataset.you = stoneName(humanStone());
  boardEl.dataset.engine = stoneName(3 - humanStone());

  const status = $('status');
  status.classList.toggle('busy', game.thinking || (!engine.ready && !engine.failed));
  status.classList.toggle('won', Boolean(game.result?.winner === humanStone()));
  status.classList.toggle('lost', Boolean(game.result && game.result.winner === 3 - humanStone()));
  $('status-text').textContent = statusText();

  $('take-back').disabled = game.thinking || !game.moves.some((_, i) => isHumanMove(i));
  $('moves').value = formatMoves(game.moves, ' ');
  const url = new URL(location.href);
  url.hash = game.moves.length ? `moves=${formatMoves(game.moves)}` : '';
  if (url.href !== location.href) history.replaceState(null, '', url.href);
  $('link').href = url.href;
}

// ---- Start ----

buildBoard();
$('new-game').addEventListener('click', newGame);
$('take-back').addEventListener('click', takeBack);
for (const radio of document.querySelectorAll('input[name=side]')) radio.addEventListener('change', newGame);
$('copy-moves').addEventListener('click', (event) => copyText($('moves').value, event.target));
$('copy-link').addEventListener('click', (event) => copyText($('link').href, event.target));
$('error-close').addEventListener('click', () => ($('error').hidden = true));
window.addEventListener('hashchange', openLink);
setInterval(() => game.thinking && ($('status-text').textContent = statusText()), 100);

startEngine();
openLink();
render();
