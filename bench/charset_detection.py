#!/usr/bin/env python3
"""How often the program's Japanese code detection is right, next to nkf --guess, uchardet and
ICU, on real Japanese texts shipped in Debian packages (the packages' Japanese message
catalogues and manual pages on this machine), each written in Shift_JIS, EUC-JP, UTF-8 and
ISO-2022-JP at three lengths: cookie (3-20 bytes), line (about 200 bytes) and 10 KiB.

Usage: bench/charset_detection.py [BUILD_DIR]   (BUILD_DIR defaults to build/; the tool
charset_detect_tool is built there when uchardet's and ICU's development files are installed).
"""
import glob
import gettext
import gzip
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import unicodedata

CODES = [("sjis", "cp932"), ("euc", "euc_jp"), ("utf8", "utf-8"), ("jis", "iso2022_jp"),
         ("sjis-hw", "cp932")]
# Half-width katakana, as older Shift_JIS pages and mails use them: the texts' katakana written
# half-width (the code is still Shift_JIS).
HALF_WIDTH = {}
for c in range(0xFF66, 0xFFA0):
    HALF_WIDTH[unicodedata.normalize("NFKC", chr(c))] = chr(c)
for full in list(HALF_WIDTH):
    for mark, half in (("\u3099", "\uff9e"), ("\u309a", "\uff9f")):
        composed = unicodedata.normalize("NFC", full + mark)
        if len(composed) == 1:
            HALF_WIDTH[composed] = HALF_WIDTH[full] + half


def half_width(text):
    return "".join(HALF_WIDTH.get(ch, ch) for ch in text)
LENGTHS = [("cookie", 3, 20), ("line", 150, 200), ("10KiB", 9000, 10240)]
PER_CELL = {"cookie": 400, "line": 300, "10KiB": 40}
JAPANESE = re.compile("[\u3040-\u30ff\u4e00-\u9fff\uff66-\uff9f]")


def catalogue_texts():
    texts = []
    for path in sorted(glob.glob("/usr/share/locale/ja/LC_MESSAGES/*.mo")):
        try:
            with open(path, "rb") as f:
                catalogue = gettext.GNUTranslations(f)._catalog
        except Exception:
            continue
        for value in catalogue.values():
            if isinstance(value, str) and JAPANESE.search(value):
                texts.append(value.replace("\x00", " "))
    return texts


def manual_texts():
    texts = []
    for path in sorted(glob.glob("/usr/share/man/ja/**/*.gz", recursive=True)):
        try:
            raw = gzip.open(path).read().decode("utf-8")
        except Exception:
            continue
        lines = [re.sub(r"\\f[BIRP]|\\-|\\\(..|\\&", "", l) for l in raw.splitlines()
                 if l and l[0] not in ".'"]
        text = "\n".join(lines)
        if JAPANESE.search(text):
            texts.append(text)
    return texts


def encodable(text, codec):
    try:
        text.encode(codec)
        return True
    except UnicodeEncodeError:
        return False


def cut(text, codec, low, high, rng):
    """A run of characters of text whose bytes in codec number low..high, or None."""
    if len(text) == 0:
        return None
    start = rng.randrange(len(text))
    target = rng.randint(low, high)
    end = start
    best = None
    while end < len(text):
        end += 1
        try:
            size = len(text[start:end].encode(codec))
        except UnicodeEncodeError:
            break
        if size > high:
            break
        best = text[start:end]
        if size >= target:
            break
    if best is None or not encodable(best, codec) or len(best.encode(codec)) < low or not JAPANESE.search(best):
        return None
    return best


def samples(texts, manuals, codec, length, low, high, rng, count):
    out = []
    pool = manuals if length == "10KiB" else texts
    joined = "\n".join(texts)
    tries = 0
    while len(out) < count and tries < count * 50:
        tries += 1
        if length == "cookie":
            piece = cut(rng.choice(pool), codec, low, high, rng)
        elif length == "line":
            start = rng.randrange(len(joined))
            piece = cut(joined[start:start + 400], codec, low, high, rng)
        else:
            source = rng.choice(pool)
            while len(source.encode("utf-8")) < high * 2:
                source += "\n" + rng.choice(pool)
            piece = cut(source, codec, low, high, rng)
        if piece is not None and encodable(piece, codec):
            out.append(piece.encode(codec))
    return out


def nkf_code(path):
    name = subprocess.run(["nkf", "--guess", path], capture_output=True, text=True).stdout
    name = name.split("(")[0].strip().lower()
    if name in ("shift_jis", "cp932", "windows-31j"):
        return "sjis"
    if name.startswith("euc") or name == "cp51932":
        return "euc"
    if name.startswith("utf-8"):
        return "utf8"
    if "2022" in name:
        return "jis"
    return name or "other"


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    build = args[0] if args else "build"
    tool = os.path.join(build, "bench", "charset_detect_tool")
    if not os.path.exists(tool) or not shutil.which("nkf"):
        sys.exit("needs " + tool + " (uchardet and ICU development files) and nkf")
    rng = random.Random(20261208)
    texts, manuals = catalogue_texts(), manual_texts()
    print(f"corpus: {len(texts)} catalogue texts, {len(manuals)} manual pages")
    work = tempfile.mkdtemp(prefix="charset-corpus-")
    cells = {}
    files = []
    katakana = re.compile("[\u30a1-\u30fa]{2}")
    hw_texts = [half_width(t) for t in texts if katakana.search(t)]
    hw_manuals = [half_width(t) for t in manuals]
    for code, codec in CODES:
        for length, low, high in LENGTHS:
            if code == "sjis-hw":
                made = samples(hw_texts, hw_manuals, codec, length, low, high, rng,
                               PER_CELL[length])
            else:
                made = samples(texts, manuals, codec, length, low, high, rng, PER_CELL[length])
            for k, data in enumerate(made):
                path = os.path.join(work, f"{code}-{length}-{k}")
                with open(path, "wb") as f:
                    f.write(data)
                files.append((path, code, length))
    results = {}
    for i in range(0, len(files), 200):
        chunk = [f[0] for f in files[i:i + 200]]
        out = subprocess.run([tool] + chunk, capture_output=True, text=True).stdout
        for line in out.splitlines():
            path, ours, uchardet, icu = line.split()
            results[path] = {"quillrun": ours, "uchardet": uchardet, "icu": icu}
    for path, _, _ in files:
        results[path]["nkf"] = nkf_code(path)
    names = ["quillrun", "nkf", "uchardet", "icu"]
    print(f"\n| code | length | samples | " + " | ".join(names) + " | quillrun wrong where all three right |")
    print("|---|---|---|" + "---|" * len(names) + "---|")
    total = {n: 0 for n in names}
    count = 0
    against = 0
    for code, _ in CODES:
        for length, _, _ in LENGTHS:
            cell = [(p, c) for p, c, l in files if c == code and l == length]
            if not cell:
                continue
            def ok(p, n, c):
                return results[p][n] == c.replace("-hw", "")
            right = {n: sum(1 for p, c in cell if ok(p, n, c)) for n in names}
            worse = sum(1 for p, c in cell
                        if not ok(p, "quillrun", c) and all(ok(p, n, c) for n in names[1:]))
            against += worse
            count += len(cell)
            for n in names:
                total[n] += right[n]
            print(f"| {code} | {length} | {len(cell)} | " +
                  " | ".join(f"{100.0 * right[n] / len(cell):.1f} %" for n in names) + f" | {worse} |")
    print(f"| all | all | {count} | " + " | ".join(f"{100.0 * total[n] / count:.1f} %" for n in names) +
          f" | {against} |")
    if "--show-misses" in sys.argv:
        for path, code, length in files:
            if results[path]["quillrun"] != code.replace("-hw", ""):
                data = open(path, "rb").read()
                print("miss", code, length, results[path], data.hex(" "),
                      data.decode(dict(CODES)[code], "replace"))
    if "--keep" not in sys.argv:
        shutil.rmtree(work)
    else:
        print("samples kept in", work)


if __name__ == "__main__":
    main()
