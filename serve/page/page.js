// The page of korvel-serve: each unit's display, a form to program it and its
// run live from /api/events. The token lives in this browser's localStorage;
// the events are read with fetch() because EventSource cannot send it.
"use strict";

const WIDTH = 28;          // characters on each of the display's two lines
const BAR = 60;            // the progress bar's full length, as the API counts it
const TOKEN_KEY = "korvel-token";
const RETRY_FIRST_MS = 1000;
const RETRY_MOST_MS = 30000;

const cards = new Map();   // unit name -> its card
let stream = null;         // the AbortController of the events being read
let retryTimer = 0;
let retryMs = RETRY_FIRST_MS;

const $ = (id) => document.getElementById(id);

// What the unit can show: printable ASCII, space to ~.
function showable(ch) {
  const code = ch.charCodeAt(0);
  return ch.length === 1 && code >= 0x20 && code <= 0x7e;
}

function token() {
  try {
    return localStorage.getItem(TOKEN_KEY) || "";
  } catch (e) {
    return "";
  }
}

function clock(iso) {
  if (!iso) return "";
  const when = new Date(iso);
  return isNaN(when) ? iso : when.toLocaleTimeString();
}

function setLink(text) {
  $("link").textContent = text;
}

// --- the token ------------------------------------------------------------

function askToken(why) {
  stopEvents();
  try {
    localStorage.removeItem(TOKEN_KEY);
  } catch (e) { /* a browser without storage asks every time */ }
  cards.clear();
  $("units").replaceChildren();
  $("no-units").hidden = true;
  $("forget").hidden = true;
  setLink("");
  $("token-why").textContent = why || "";
  $("token-form").hidden = false;
  $("token").value = "";
  $("token").focus();
}

function saveToken(event) {
  event.preventDefault();
  const typed = $("token").value.trim();
  if (!typed) return;
  try {
    localStorage.setItem(TOKEN_KEY, typed);
  } catch (e) {
    $("token-why").textContent = "This browser does not keep data for this page; " +
        "allow site data and try again.";
    return;
  }
  $("token").value = "";
  $("token-form").hidden = true;
  start();
}

class Refused extends Error {}

async function api(path, options) {
  const headers = Object.assign({ Authorization: "Bearer " + token() },
                                (options && options.headers) || {});
  const answer = await fetch(path, Object.assign({}, options, { headers, cache: "no-store" }));
  if (answer.status === 401) {
    askToken("The service refused this token. Enter it again.");
    throw new Refused();
  }
  return answer;
}

// --- a unit's card --------------------------------------------------------

function drawDisplay(element, lines, status) {
  element.replaceChildren();
  element.classList.toggle("unknown", lines === null);
  if (lines === null) {
    element.setAttribute("aria-label", "Not known");
    const note = document.createElement("p");
    note.className = "note";
    note.textContent = status === "programming"
      ? "Not known while it is being programmed."
      : "Not known: a run did not end, so what it shows cannot be told.";
    element.append(note);
    return;
  }
  const rows = [lines[0] || "", lines[1] || ""];
  element.setAttribute("aria-label", "Line 1: " + (rows[0].trim() || "blank") +
                       ". Line 2: " + (rows[1].trim() || "blank") + ".");
  for (const text of rows) {
    const row = document.createElement("div");
    row.className = "row";
    const padded = text.padEnd(WIDTH, " ").slice(0, WIDTH);
    for (const ch of padded) {
      const cell = document.createElement("span");
      cell.className = "cell";
      cell.textContent = ch;
      row.append(cell);
    }
    element.append(row);
  }
}

// "why" is a sentence of its own (korvel-program's words), so the next try follows it as one.
function whyAndNext(why, nextTry) {
  const said = /[.!?]$/.test(why) ? why : why + ".";
  return nextTry ? said + " Next try at " + clock(nextTry) + "." : said;
}

function statusText(unit) {
  switch (unit.status) {
    case "programmed":
      return unit.lines_since ? "Programmed: showing this since " + clock(unit.lines_since) + "."
                              : "Programmed.";
    case "pending":
      return "Pending: " + whyAndNext(unit.why || "waiting to be programmed", unit.next_try);
    case "programming":
      return "Programming.";
    case "failed":
      return "Failed: " + whyAndNext(unit.why || "the last run did not end well", unit.next_try);
  }
  return unit.status;
}

const BADGES = { programmed: "Programmed", pending: "Pending", programming: "Programming",
                 failed: "Failed" };

function showProgress(card, progress) {
  card.bar.value = Math.max(0, Math.min(BAR, progress.bar));
  card.bar.textContent = Math.round(card.bar.value * 100 / BAR) + "%";
  const frame = progress.frame === "blank" ? "blank frame" : "message";
  card.status.textContent = "Programming: " + frame + ", " + progress.sent + " of " +
                            progress.of + " bytes answered";
}

function showResult(card, words, good) {
  card.result.textContent = words;
  card.result.classList.toggle("good", good);
  card.result.classList.toggle("bad", !good);
}

function update(card, unit) {
  card.title.textContent = unit.title || unit.name;
  card.port.textContent = unit.name + " \u00b7 " + unit.port;
  card.badge.textContent = BADGES[unit.status] || unit.status;
  card.element.dataset.status = unit.status;
  drawDisplay(card.shown, unit.lines, unit.status);
  card.wantedPanel.hidden = !unit.wanted;
  if (unit.wanted) drawDisplay(card.wanted, unit.wanted);
  card.wantedCaption.textContent = unit.status === "programming" ? "Being sent" : "Waiting to show";

  if (unit.status === "programming" && unit.progress) {
    showProgress(card, unit.progress);
  } else {
    card.status.textContent = statusText(unit);
    card.bar.value = 0;
    card.bar.textContent = "";
  }
  card.element.classList.toggle("running", unit.status === "programming");

  const run = unit.last_run;
  if (run && run.ended !== card.lastEnded) {
    card.lastEnded = run.ended;
    showResult(card, run.message, run.result === "programmed");
  }
}

// Keeps an input to what the unit can show, as it is typed or pasted.
function guard(card, input, counter, which) {
  const refuse = (what) => {
    card.refused.textContent = what;
    clearTimeout(card.refusedTimer);
    card.refusedTimer = setTimeout(() => { card.refused.textContent = ""; }, 4000);
  };
  const count = () => {
    counter.textContent = input.value.length + "/" + WIDTH;
    counter.classList.toggle("full", input.value.length >= WIDTH);
  };
  input.addEventListener("beforeinput", (event) => {
    if (!event.data || event.isComposing) return;
    const odd = [...event.data].find((ch) => !showable(ch));
    if (odd !== undefined && event.cancelable) {
      event.preventDefault();
      refuse("\u201c" + odd + "\u201d cannot be shown: the unit shows plain letters, digits, " +
             "space and the signs of a US keyboard (space to ~).");
    }
  });
  input.addEventListener("input", () => {
    const kept = [...input.value].filter(showable).join("");
    const fixed = kept.slice(0, WIDTH);
    if (fixed !== input.value) {
      const caret = input.selectionStart;
      const lost = input.value.length - fixed.length;
      input.value = fixed;
      const at = Math.max(0, Math.min(fixed.length, (caret === null ? fixed.length : caret) - lost));
      input.setSelectionRange(at, at);
      refuse(kept.length > WIDTH ? "Line " + which + " holds " + WIDTH + " characters at most."
                                 : "Only what the unit can show was kept (space to ~).");
    }
    count();
  });
  input.addEventListener("change", count);
  input.addEventListener("keydown", (event) => {
    // A full line refuses more; say why instead of staying silent.
    if (event.key.length === 1 && input.value.length >= WIDTH &&
        input.selectionStart === input.selectionEnd && !event.ctrlKey && !event.metaKey) {
      refuse("Line " + which + " holds " + WIDTH + " characters at most.");
    }
  });
  count();
}

async function program(card, event) {
  event.preventDefault();
  const line1 = card.line1.value, line2 = card.line2.value;
  // Both empty clears the display; otherwise both lines go as typed.
  const lines = line1 === "" && line2 === "" ? [] : [line1, line2];
  card.button.disabled = true;
  card.button.textContent = "Programming\u2026";
  card.result.textContent = "";
  card.result.classList.remove("good", "bad");
  try {
    const answer = await api("/api/units/" + encodeURIComponent(card.name) + "/banner", {
      method: "PUT",
      headers: { "Content-Type": "application/json" },
      body: JSON.stringify({ lines }),
    });
    let body = {};
    try {
      body = await answer.json();
    } catch (e) { /* a body that is not JSON says nothing more than its status */ }
    if (body.unit) update(card, body.unit);
    if (body.result) {
      card.lastEnded = body.result.ended;
      let words = body.result.message;
      if (body.superseded_by) {
        words = "A newer text went in its place: \u201c" + body.superseded_by.join(" / ") +
                "\u201d. " + words;
      }
      showResult(card, words, answer.ok && !body.superseded_by);
    } else {
      showResult(card, body.error || "The service answered " + answer.status + ".", answer.ok);
    }
  } catch (e) {
    if (!(e instanceof Refused)) {
      showResult(card, "The service did not answer (" + e.message + "). " +
                       "Check the connection and try again.", false);
    }
  } finally {
    card.button.disabled = false;
    card.button.textContent = "Program";
  }
}

function makeCard(unit) {
  const element = $("unit-card").content.firstElementChild.cloneNode(true);
  const pick = (selector) => element.querySelector(selector);
  element.dataset.unit = unit.name;
  const card = {
    name: unit.name,
    element,
    title: pick(".title"),
    badge: pick(".badge"),
    port: pick(".port"),
    shown: pick(".panel:not(.wanted) .display"),
    wanted: pick(".panel.wanted .display"),
    wantedPanel: pick(".panel.wanted"),
    wantedCaption: pick(".panel.wanted figcaption"),
    status: pick(".status"),
    line1: pick("input[name=line1]"),
    line2: pick("input[name=line2]"),
    refused: pick(".refused"),
    button: pick(".program"),
    bar: pick("progress"),
    result: pick(".result"),
    lastEnded: undefined,
  };
  // Ids for the labels, unique per unit.
  const id = (part) => "u-" + unit.name + "-" + part;
  card.line1.id = id("line1");
  card.line2.id = id("line2");
  pick(".l1").htmlFor = card.line1.id;
  pick(".l2").htmlFor = card.line2.id;
  pick(".c1").id = id("count1");
  pick(".c2").id = id("count2");
  card.line1.setAttribute("aria-describedby", id("count1"));
  card.line2.setAttribute("aria-describedby", id("count2"));
  card.bar.id = id("bar");
  card.bar.setAttribute("aria-label", "Progress of the run");
  // Enter on the first line goes on to the second, as in the utility's window.
  card.line1.addEventListener("keydown", (event) => {
    if (event.key === "Enter") {
      event.preventDefault();
      card.line2.focus();
    }
  });
  guard(card, card.line1, pick(".c1"), 1);
  guard(card, card.line2, pick(".c2"), 2);
  pick("form.banner").addEventListener("submit", (event) => program(card, event));
  // Start from what the unit should show, so a small change is a small edit.
  const start = unit.wanted || unit.lines || [];
  card.line1.value = start[0] || "";
  card.line2.value = start[1] || "";
  card.line1.dispatchEvent(new Event("input"));
  card.line2.dispatchEvent(new Event("input"));
  return card;
}

function takeUnit(unit) {
  let card = cards.get(unit.name);
  if (!card) {
    card = makeCard(unit);
    cards.set(unit.name, card);
    $("units").append(card.element);
    $("no-units").hidden = true;
  }
  update(card, unit);
}

// --- the events -----------------------------------------------------------

function stopEvents() {
  clearTimeout(retryTimer);
  if (stream) stream.abort();
  stream = null;
}

function retryLater(ms) {
  clearTimeout(retryTimer);
  setLink("Reconnecting in " + Math.round(ms / 1000) + " s\u2026");
  retryTimer = setTimeout(listen, ms);
  retryMs = Math.min(RETRY_MOST_MS, retryMs * 2);
}

function dispatch(block) {
  let name = "message";
  const data = [];
  for (const line of block.split("\n")) {
    if (line === "" || line.startsWith(":")) continue;
    const colon = line.indexOf(":");
    const field = colon < 0 ? line : line.slice(0, colon);
    let value = colon < 0 ? "" : line.slice(colon + 1);
    if (value.startsWith(" ")) value = value.slice(1);
    if (field === "event") name = value;
    else if (field === "data") data.push(value);
  }
  if (data.length === 0) return;
  let payload;
  try {
    payload = JSON.parse(data.join("\n"));
  } catch (e) {
    return;
  }
  if (name === "unit") {
    takeUnit(payload);
  } else if (name === "progress") {
    const card = cards.get(payload.unit);
    if (card) {
      card.element.classList.add("running");
      showProgress(card, payload);
    }
  }
}

async function listen() {
  stopEvents();
  const controller = new AbortController();
  stream = controller;
  let answer;
  try {
    answer = await api("/api/events", { signal: controller.signal,
                                        headers: { Accept: "text/event-stream" } });
  } catch (e) {
    if (!(e instanceof Refused) && stream === controller) retryLater(retryMs);
    return;
  }
  if (!answer.ok || !answer.body) {
    const wait = Number(answer.headers.get("Retry-After")) * 1000;
    if (stream === controller) retryLater(wait > 0 ? wait : retryMs);
    return;
  }
  setLink("Live");
  $("link").classList.add("live");
  const reader = answer.body.getReader();
  const decoder = new TextDecoder();
  let buffer = "";
  try {
    for (;;) {
      const { value, done } = await reader.read();
      if (done) break;
      retryMs = RETRY_FIRST_MS;
      buffer += decoder.decode(value, { stream: true }).replace(/\r\n?/g, "\n");
      let end;
      while ((end = buffer.indexOf("\n\n")) >= 0) {
        dispatch(buffer.slice(0, end));
        buffer = buffer.slice(end + 2);
      }
    }
  } catch (e) {
    /* dropped: tried again below unless this page stopped it */
  }
  $("link").classList.remove("live");
  if (stream === controller) retryLater(retryMs);
}

// --- start ----------------------------------------------------------------

async function start() {
  if (!token()) {
    askToken("");
    return;
  }
  $("forget").hidden = false;
  setLink("Connecting\u2026");
  try {
    const answer = await api("/api/units");
    const units = await answer.json();
    if (!answer.ok) throw new Error(units.error || "status " + answer.status);
    units.forEach(takeUnit);
    $("no-units").hidden = units.length > 0;
  } catch (e) {
    if (e instanceof Refused) return;
    setLink("The service did not answer (" + e.message + ")");
  }
  retryMs = RETRY_FIRST_MS;
  listen();
}

document.addEventListener("DOMContentLoaded", () => {
  $("token-form").addEventListener("submit", saveToken);
  $("forget").addEventListener("click", () => askToken("The token was forgotten."));
  start();
});
