#!/usr/bin/python3
"""Second and third readers for the workbook tests.

The C++ tests check every file they write with libfreexl and, when
QUORVEL_XLS_CORPUS is set, leave a copy of it with the rows it must hold
(<file-hash>.xls and <file-hash>-<n>.json). This script fills such a folder by
running the test program, then reads every file with python3-xlrd or with
LibreOffice (batched: one start-up converts many files).

A reader that is not installed skips (exit 77), unless CI is "true".
"""
import argparse
import csv
import glob
import json
import os
import shutil
import subprocess
import sys
import tempfile

SKIP = 77
# LibreOffice silently drops the files named after about 8 KiB of arguments.
LIBREOFFICE_ARGUMENT_BYTES = 4000


def in_ci():
    return os.environ.get("CI") == "true"


def missing(what):
    print(f"{what} is not installed", file=sys.stderr)
    return 1 if in_ci() else SKIP


def make_corpus(args):
    shutil.rmtree(args.corpus, ignore_errors=True)
    os.makedirs(args.corpus)
    env = dict(os.environ, QUORVEL_XLS_CORPUS=args.corpus)
    return subprocess.call([args.gtest, "--gtest_brief=1"], env=env)


def load(corpus):
    """{xls path: [expectation, ...]}"""
    found = {}
    for name in sorted(glob.glob(os.path.join(corpus, "*.json"))):
        with open(name, encoding="utf-8") as f:
            expectation = json.load(f)
        xls = name[: name.rindex("-")] + ".xls"
        found.setdefault(xls, []).append(expectation)
    return found


def cell_value(cell):
    if cell is None:
        return None
    if "n" in cell:
        return float.fromhex(cell["n"])
    return cell["s"]


def rows_of(expectation):
    rows = [[cell_value(c) for c in row] for row in expectation["rows"]]
    in_flight = expectation["in_flight"]
    return rows, None if in_flight is None else [cell_value(c) for c in in_flight]


def report(path, expectation, message, failures):
    failures.append(f"{os.path.basename(path)} (from {expectation['origin']}): {message}")


def compare(path, expectation, got, same_row, failures):
    want, in_flight = rows_of(expectation)
    candidates = [want] + ([want + [in_flight]] if in_flight is not None else [])
    for candidate in candidates:
        if len(candidate) == len(got) and all(same_row(g, w) for g, w in zip(got, candidate)):
            return
    for i, (g, w) in enumerate(zip(got, want)):
        if not same_row(g, w):
            report(path, expectation, f"row {i}: read {g!r}, expected {w!r}", failures)
            return
    report(path, expectation, f"read {len(got)} rows, expected {len(want)}"
           + (" or one more" if in_flight is not None else ""), failures)


# ---- xlrd --------------------------------------------------------------------

def xlrd_same_row(got, want):
    if len(got) != len(want):
        return False
    for g, w in zip(got, want):
        if isinstance(w, float):
            # bit for bit: -0.0 differs from 0.0
            if not isinstance(g, float) or g.hex() != w.hex():
                return False
        elif g != w:
            return False
    return True


def check_xlrd(args):
    try:
        import xlrd
    except ImportError:
        return missing("python3-xlrd (for " + sys.executable + ")")
    failures = []
    corpus = load(args.corpus)
    for path, expectations in corpus.items():
        try:
            # formatting_info keeps empty cells and checks the formats they use
            book = xlrd.open_workbook(path, formatting_info=True)
            if book.sheet_names() != ["PowerMeterData"]:
                raise ValueError(f"sheets {book.sheet_names()}")
            sheet = book.sheet_by_index(0)
            got = []
            for r in range(sheet.nrows):
                row = []
                for c in range(sheet.ncols):
                    cell = sheet.cell(r, c)
                    if cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                        row.append(None)
                    elif cell.ctype == xlrd.XL_CELL_NUMBER:
                        row.append(float(cell.value))
                    elif cell.ctype == xlrd.XL_CELL_TEXT:
                        row.append(cell.value)
                    else:
                        row.append(("unexpected cell type", cell.ctype, cell.value))
                got.append(row)
        except Exception as error:  # any reader failure is a test failure
            for expectation in expectations:
                report(path, expectation, f"xlrd cannot read it: {error}", failures)
            continue
        for expectation in expectations:
            compare(path, expectation, got, xlrd_same_row, failures)
    return finish("xlrd", len(corpus), failures)


# ---- LibreOffice ---------------------------------------------------------------

def significant_digits(value):
    mantissa = repr(abs(value)).split("e")[0].replace(".", "").lstrip("0")
    return len(mantissa)


def shown_number_matches(text, want):
    try:
        value = float(text)
    except ValueError:
        return False
    if value == want:
        return True
    # LibreOffice shows at most 15 significant digits: a number that needs
    # no more must come back exactly, others to within the last digit shown.
    if significant_digits(want) <= 15:
        return False
    return abs(value - want) <= 1e-14 * abs(want)


def lo_same_row(got, want):
    def trimmed(row):
        row = list(row)
        while row and row[-1] in ("", None):
            row.pop()
        return row
    got, want = trimmed(got), trimmed(want)
    if len(got) != len(want):
        return False
    for g, w in zip(got, want):
        if w is None or w == "":
            if g != "":
                return False
        elif isinstance(w, float):
            if not shown_number_matches(g, w):
                return False
        elif g != w:
            return False
    return True


def drop_trailing_empty_rows(rows):
    while rows and all(c in ("", None) for c in rows[-1]):
        rows.pop()
    return rows


def check_libreoffice(args):
    soffice = shutil.which("soffice") or ("/usr/bin/soffice" if os.path.exists("/usr/bin/soffice") else None)
    if soffice is None:
        return missing("LibreOffice (soffice)")
    failures = []
    corpus = load(args.corpus)
    paths = sorted(corpus)
    work = tempfile.mkdtemp(prefix="quorvel-xls-lo-")
    try:
        profile = "file://" + os.path.join(work, "profile")
        out = os.path.join(work, "out")
        names = [os.path.basename(path) for path in paths]
        while names:
            batch = []
            while names and sum(len(n) + 1 for n in batch) + len(names[0]) < LIBREOFFICE_ARGUMENT_BYTES:
                batch.append(names.pop(0))
            subprocess.run([soffice, "--headless", "--norestore", f"-env:UserInstallation={profile}",
                            "--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76,1",
                            "--outdir", out] + batch,
                           cwd=args.corpus, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                           timeout=900, check=False)
        for path in paths:
            csv_path = os.path.join(out, os.path.basename(path)[:-4] + ".csv")
            if not os.path.exists(csv_path):
                for expectation in corpus[path]:
                    report(path, expectation, "LibreOffice cannot convert it", failures)
                continue
            with open(csv_path, encoding="utf-8", newline="") as f:
                got = drop_trailing_empty_rows([row for row in csv.reader(f)])
            for expectation in corpus[path]:
                want, in_flight = rows_of(expectation)
                compare_lo(path, expectation, got, want, in_flight, failures)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return finish("LibreOffice", len(paths), failures)


def compare_lo(path, expectation, got, want, in_flight, failures):
    candidates = [drop_trailing_empty_rows(list(want))]
    if in_flight is not None:
        candidates.append(drop_trailing_empty_rows(list(want) + [in_flight]))
    for candidate in candidates:
        if len(candidate) == len(got) and all(lo_same_row(g, w) for g, w in zip(got, candidate)):
            return
    for i, (g, w) in enumerate(zip(got, candidates[0])):
        if not lo_same_row(g, w):
            report(path, expectation, f"row {i}: LibreOffice shows {g!r}, expected {w!r}", failures)
            return
    report(path, expectation, f"LibreOffice shows {len(got)} rows, expected {len(candidates[0])}"
           + (" or one more" if in_flight is not None else ""), failures)


def finish(reader, files, failures):
    for failure in failures[:50]:
        print(failure, file=sys.stderr)
    print(f"{reader}: {files} files, {len(failures)} failures")
    if files == 0:
        print("the corpus is empty", file=sys.stderr)
        return 1
    return 1 if failures else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("action", choices=["make-corpus", "xlrd", "libreoffice"])
    parser.add_argument("--corpus", required=True)
    parser.add_argument("--gtest", help="the test program (make-corpus)")
    args = parser.parse_args()
    if args.action == "make-corpus":
        return make_corpus(args)
    if args.action == "xlrd":
        return check_xlrd(args)
    return check_libreoffice(args)


if __name__ == "__main__":
    sys.exit(main())
