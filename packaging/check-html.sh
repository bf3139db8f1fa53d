#!/usr/bin/env bash
# Converts a scratch copy of the bundled alpha-quartz example to the HTML contour page
# and opens the page in headless chromium, driven over the DevTools protocol on a pipe:
# the page must load without console errors or requests outside the file, draw one plot
# per drawn section, render a screenshot that is not blank, and move to another section
# on a key press and on the slider. The screenshot is kept as OUT_DIR/quartz-html.png.
#
#   bash packaging/check-html.sh GRIX_BINARY OUT_DIR
set -euo pipefail

fail() {
    echo "check-html: $*" >&2
    exit 1
}

[ $# -eq 2 ] || fail "usage: check-html.sh GRIX_BINARY OUT_DIR"
grix=$(realpath "$1")
out_dir=$2
[ -x "$grix" ] || fail "$1 is not an executable"
browser=$(command -v chromium || true)
[ -n "$browser" ] ||
    fail "chromium is missing: install the Debian package chromium (apt-get install chromium)"
command -v python3 >/dev/null || fail "python3 is missing: install the Debian package python3"

source_dir=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$out_dir"

cp "$source_dir/examples/quartz.exp" "$source_dir/examples/quartz.fclc" "$scratch/"
(cd "$scratch" && "$grix" -html quartz >stdout 2>stderr </dev/null) ||
    fail "grix -html quartz failed: $(cat "$scratch/stderr")"
[ -s "$scratch/quartz.html" ] || fail "grix -html quartz wrote no quartz.html"

python3 - "$browser" "$scratch/quartz.html" "$out_dir/quartz-html.png" "$scratch/profile" <<'EOF'
import base64, fcntl, json, os, struct, subprocess, sys, zlib

browser, page, screenshot, profile = sys.argv[1:]

def fail(message):
    sys.exit(f"check-html: {message}")

# Chromium reads DevTools commands from descriptor 3 and answers on 4, NUL-terminated.
# The pipes are first moved above 9, so that placing them at 3 and 4 in the child
# overwrites nothing still needed and leaves them open across exec.
def move_high(fd):
    moved = fcntl.fcntl(fd, fcntl.F_DUPFD_CLOEXEC, 10)
    os.close(fd)
    return moved
to_browser, from_us = map(move_high, os.pipe())
to_us, from_browser = map(move_high, os.pipe())
def wire_pipes():
    os.dup2(to_browser, 3)
    os.dup2(from_browser, 4)
flags = ["--headless", "--remote-debugging-pipe", f"--user-data-dir={profile}",
         "--no-first-run", "--no-default-browser-check", "--disable-gpu",
         "--hide-scrollbars"]
if os.geteuid() == 0:
    flags.append("--no-sandbox")  # chromium refuses to run as root inside its sandbox
chrome = subprocess.Popen([browser, *flags], preexec_fn=wire_pipes, close_fds=False,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
os.close(to_browser)
os.close(from_browser)
writer = os.fdopen(from_us, "wb")
events, buffered, next_id = [], b"", 0

def receive():
    global buffered
    while b"\0" not in buffered:
        chunk = os.read(to_us, 1 << 16)
        if not chunk:
            fail("chromium closed its DevTools pipe")
        buffered += chunk
    message, buffered = buffered.split(b"\0", 1)
    return json.loads(message)

def send(method, session=None, **params):
    global next_id
    next_id += 1
    message = {"id": next_id, "method": method, "params": params}
    if session:
        message["sessionId"] = session
    writer.write(json.dumps(message).encode() + b"\0")
    writer.flush()
    while True:
        answer = receive()
        if answer.get("id") == next_id:
            if "error" in answer:
                fail(f"{method}: {answer['error'].get('message')}")
            return answer.get("result", {})
        events.append(answer)

def wait_for(method):
    while True:
        for n, event in enumerate(events):
            if event.get("method") == method:
                return events.pop(n)
        events.append(receive())

def unpack_png(data):
    """Rows of RGB(A) pixels of an 8-bit non-interlaced PNG."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        fail("the screenshot is no PNG")
    at, idat = 8, b""
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    if depth != 8 or colour not in (2, 6) or interlace:
        fail(f"unexpected screenshot format (depth {depth}, colour type {colour})")
    channels = 3 if colour == 2 else 4
    raw, stride = zlib.decompress(idat), width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, row = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for x in range(stride):
            left = row[x - channels] if x >= channels else 0
            up = previous[x]
            if kind == 1:
                row[x] = (row[x] + left) & 255
            elif kind == 2:
                row[x] = (row[x] + up) & 255
            elif kind == 3:
                row[x] = (row[x] + (left + up) // 2) & 255
            elif kind == 4:
                corner = previous[x - channels] if x >= channels else 0
                guess = left + up - corner
                pa, pb, pc = abs(guess - left), abs(guess - up), abs(guess - corner)
                nearest = left if pa <= pb and pa <= pc else up if pb <= pc else corner
                row[x] = (row[x] + nearest) & 255
        rows.append(row)
        previous = row
    return channels, rows

def check_console():
    for event in events:
        params = event.get("params", {})
        if event.get("method") == "Runtime.exceptionThrown":
            details = params["exceptionDetails"]
            text = details.get("exception", {}).get("description", details["text"])
            fail(f"script error: {text}")
        if event.get("method") == "Runtime.consoleAPICalled" and params["type"] == "error":
            fail(f"console error: {json.dumps(params['args'])[:500]}")
        if event.get("method") == "Log.entryAdded" and params["entry"]["level"] == "error":
            fail(f"console error: {params['entry']['text']}")

try:
    target = send("Target.createTarget", url="about:blank")["targetId"]
    session = send("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
    for domain in ("Page", "Runtime", "Log", "Network"):
        send(f"{domain}.enable", session)
    send("Emulation.setDeviceMetricsOverride", session, width=760, height=700,
         deviceScaleFactor=1, mobile=False)
    send("Page.navigate", session, url="file://" + os.path.abspath(page))
    wait_for("Page.loadEventFired")

    def evaluate(expression):
        return send("Runtime.evaluate", session, expression=expression, awaitPromise=True,
                    returnByValue=True)["result"].get("value")

    # From the start of the navigation to a frame drawn after the load (an upper bound).
    shown_ms = evaluate("new Promise(done => requestAnimationFrame("
                        "() => setTimeout(() => done(performance.now()))))")
    check_console()
    plots = evaluate("document.querySelectorAll('figure.sec > svg.plot').length")
    slider_stops = evaluate("+document.getElementById('slider').max + 1")
    caption = evaluate("document.querySelector('figure.sec figcaption').textContent")
    sections = int(caption.split(" of ")[1].split(";")[0])
    step = -(-sections // 48)  # at most 48 sections drawn: every step-th
    if plots != slider_stops or plots != -(-sections // step):
        fail(f"{plots} plots and {slider_stops} slider stops for {sections} sections")
    shown_plot = ("[...document.querySelectorAll('figure.sec')]"
                  ".findIndex(figure => !figure.hidden && figure.offsetHeight > 0)")
    visible = "[...document.querySelectorAll('figure.sec')].filter(f => !f.hidden).length"
    if evaluate(shown_plot) != 0 or evaluate(visible) != 1:
        fail("the page does not open on its first section alone")
    if evaluate("document.querySelectorAll('figure.sec:not([hidden]) path.p').length") == 0:
        fail("the first section has no positive contours")

    # The shown plot in the screenshot: pixels inked at all, and in the green of the
    # positive contours.
    shot = base64.b64decode(send("Page.captureScreenshot", session, format="png")["data"])
    with open(screenshot, "wb") as file:
        file.write(shot)
    channels, rows = unpack_png(shot)
    left, top, right, bottom = map(round, evaluate(
        "(r => [r.left, r.top, r.right, r.bottom])(document.querySelector("
        "'figure.sec:not([hidden]) svg.plot').getBoundingClientRect())"))
    pixels = [row[x:x + 3] for row in rows[top:bottom]
              for x in range(left * channels, right * channels, channels)]
    inked = sum(1 for r, g, b in pixels if min(r, g, b) < 200)
    green = sum(1 for r, g, b in pixels if g > r + 40 and g > b + 20)
    if inked < len(pixels) // 100 or green < 100:
        fail(f"the plot looks blank: {inked} of {len(pixels)} pixels inked, {green} green")

    key = {"key": "ArrowRight", "code": "ArrowRight", "windowsVirtualKeyCode": 39}
    send("Input.dispatchKeyEvent", session, type="keyDown", **key)
    send("Input.dispatchKeyEvent", session, type="keyUp", **key)
    if evaluate(shown_plot) != 1 or evaluate(visible) != 1:
        fail("the right arrow key did not move to the second section")
    evaluate("(s => { s.value = 3; s.dispatchEvent(new Event('input')); })"
             "(document.getElementById('slider'))")
    if evaluate(shown_plot) != min(3, plots - 1) or evaluate(visible) != 1:
        fail("the slider did not move to its section")

    check_console()
    outside = [e["params"]["request"]["url"] for e in events
               if e.get("method") == "Network.requestWillBeSent"
               and not e["params"]["request"]["url"].startswith(("file:", "data:"))]
    if outside:
        fail(f"the page asks for other resources: {outside[:5]}")
    print(f"check-html: {plots} plots, shown in {shown_ms:.0f} ms; {inked} of the plot's "
          f"{len(pixels)} pixels inked, {green} green; keys and slider move")
finally:
    try:  # closed as a user would close it, so it leaves no helper processes behind
        writer.write(json.dumps({"id": 0, "method": "Browser.close"}).encode() + b"\0")
        writer.flush()
        chrome.wait(timeout=10)
    except (OSError, subprocess.TimeoutExpired):
        chrome.kill()
        chrome.wait()
EOF
echo "check-html: screenshot in $out_dir/quartz-html.png"
