#!/usr/bin/env python3
"""Lays out the demo payload beside its package manifest.

Everything in it is our own: the modules and programs come from this build, the fonts are cut from a free
font on the machine and renamed after the rows of the installer's font table, and the application files are
made here from fixed seeds, so two runs give the same bytes.
"""
import argparse
import json
import random
import shutil
from pathlib import Path

from fontTools import subset
from fontTools.ttLib import TTFont

PRODUCT = {
    "productCode": "{BCC8E95D-5517-4B72-A87D-8ADE002BC46D}",
    "upgradeCode": "{D4DE9A45-5F90-44FC-BF02-33B480255BD1}",
    "productVersion": "7.27.1.0",
    "imeVersion": "7.27.1.0",
    "textServiceVersion": "1.3.10.0",
}

# The input method's application files besides the installer icon, the uninstaller and the update service:
# dictionaries, conversion tables, skins, help and settings, 36 in all.
DICTIONARIES = ["base", "names", "places", "terms", "idioms", "science", "law", "medicine", "religion", "history",
                "sports", "music"]
TABLES = ["traditional", "todo", "manchu", "sibe", "cyrillic", "latin", "classical", "unicode"]
SKINS = ["classic", "steppe", "night", "paper", "sky", "ink"]
DOCS = ["readme.txt", "license.txt", "shortcuts.txt", "changes.txt", "settings.ini", "layouts.ini", "symbols.ini",
        "phrases.ini", "update.ini", "language.ini"]

MONGOLIAN_LETTERS = [chr(c) for c in range(0x1820, 0x1843)]


def mongolian_words(rng, count):
    return "\n".join("".join(rng.choice(MONGOLIAN_LETTERS) for _ in range(rng.randint(2, 9))) + f"\t{rng.randint(1, 65535)}"
                     for _ in range(count))


def application_files(rng):
    files = {}
    for name in DICTIONARIES:
        files[f"ZelnIME\\dict\\{name}.dic"] = mongolian_words(rng, rng.randint(400, 2500)).encode("utf-8")
    for name in TABLES:
        files[f"ZelnIME\\conv\\{name}.tbl"] = bytes(rng.getrandbits(8) for _ in range(rng.randint(4000, 24000)))
    for name in SKINS:
        files[f"ZelnIME\\skins\\{name}.skin"] = bytes(rng.getrandbits(8) for _ in range(rng.randint(2000, 9000)))
    for name in DOCS:
        files[f"ZelnIME\\{name}"] = (f"; {name}\r\n" + "\r\n".join(f"key{i}=value{rng.randint(0, 999)}"
                                                                    for i in range(rng.randint(5, 60)))).encode("ascii")
    return files


def make_font(source, family, out):
    options = subset.Options()
    options.name_IDs = ["*"]
    options.notdef_outline = True
    options.drop_tables += ["FFTM", "GPOS", "GSUB", "GDEF", "kern"]
    font = TTFont(source, recalcTimestamp=False)
    subsetter = subset.Subsetter(options)
    subsetter.populate(text="ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 .,:;-()")
    subsetter.subset(font)
    names = font["name"]
    for record in list(names.names):
        if record.nameID in (1, 3, 4, 6, 16, 17, 21, 22):
            names.removeNames(nameID=record.nameID)
    postscript = family.replace(" ", "")
    for name_id, text in ((1, family), (3, f"{postscript};demo"), (4, family), (6, postscript)):
        names.setName(text, name_id, 3, 1, 0x409)
        names.setName(text, name_id, 1, 0, 0)
    font.save(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--out", required=True, type=Path, help="folder for the payload and manifest.json")
    parser.add_argument("--font-table", required=True, type=Path, help="rows 'file<TAB>value name' of the font table")
    parser.add_argument("--source-font", required=True, type=Path)
    parser.add_argument("--icon", required=True, type=Path)
    parser.add_argument("--uninstaller", required=True, type=Path)
    parser.add_argument("--service", required=True, type=Path)
    parser.add_argument("--ime-64", required=True, type=Path)
    parser.add_argument("--text-service-64", required=True, type=Path)
    parser.add_argument("--ime-32", required=True, type=Path)
    parser.add_argument("--text-service-32", required=True, type=Path)
    args = parser.parse_args()

    out = args.out
    if out.exists():
        shutil.rmtree(out)
    entries = []

    def add(name, kind, data=None, copy_from=None):
        source = Path("files") / f"{kind}" / name.replace("\\", "/")
        target = out / source
        target.parent.mkdir(parents=True, exist_ok=True)
        if copy_from is not None:
            shutil.copyfile(copy_from, target)
        elif callable(data):
            data(target)
        else:
            target.write_bytes(data)
        entries.append({"source": source.as_posix(), "name": name, "kind": kind, "verify": True})

    rng = random.Random(20261207)
    add("ZelnIME\\Installer.ico", 0, copy_from=args.icon)
    add("ZelnIME\\Uninstaller.exe", 0, copy_from=args.uninstaller)
    add("Update\\ZNService2.exe", 0, copy_from=args.service)
    for name, data in application_files(rng).items():
        add(name, 0, data)

    eudc = lambda target: make_font(args.source_font, "Zelnsoft EUDC", target)
    for kind, ime, text_service in ((1, args.ime_64, args.text_service_64), (2, args.ime_32, args.text_service_32)):
        add("ZelnIme.ime", kind, copy_from=ime)
        add("ZelnImeTSF.ime", kind, copy_from=text_service)
        add("zelnsoft.tte", kind, eudc)

    for row in args.font_table.read_text(encoding="utf-8").splitlines():
        file_name, value_name = row.split("\t")
        family = value_name.removesuffix(" (OpenType)")
        add(file_name, 3, lambda target, family=family: make_font(args.source_font, family, target))

    add("Zelnsoft\\ZelnIME\\userphrase.dat", 6, mongolian_words(rng, 200).encode("utf-8"))

    manifest = dict(PRODUCT, files=entries)
    (out / "manifest.json").write_text(json.dumps(manifest, indent=2, ensure_ascii=False) + "\n", encoding="utf-8")
    counts = {}
    for entry in entries:
        counts[entry["kind"]] = counts.get(entry["kind"], 0) + 1
    print(f"demo payload: {len(entries)} entries, by kind {dict(sorted(counts.items()))}")


if __name__ == "__main__":
    main()
