#!/usr/bin/env python3
"""What the packages hold of others' code, and the packages made the same
whoever makes them. The parts that the programs have linked in are found
once, from what their links took (the Debian package of each archive or
library; Qt's records of the code it bundles), into parts.json; the Windows
.zip's THIRD-PARTY-NOTICES.txt and each package's bill of materials (SPDX
2.3 JSON) are both written from it, so that they cannot disagree.

  third_party.py qt-objects QT_SOURCE QT_BUILD
      (scripts/build-windows-qt.sh) one line an object of Qt's static
      libraries: its library, its name and the files of the source tree it
      is built from, as qmake's Makefiles list them
  third_party.py parts OUT [--map=PROGRAM=MAP | --link=PROGRAM=FILE]...
          [--compiler=CXX [--target=TRIPLET]] [--build-dir=DIR]
          [--qt-notes=NOTES --qt-prefix=DIR] [--template=NOTICES.in
          [--qt-template=Qt-source.txt.in] --define=NAME=VALUE...]
      OUT/parts.json and built-using.txt, from linker maps (Windows) or from
      the files each program links (a bare archive name: the compiler's);
      with a template also THIRD-PARTY-NOTICES.txt (and Qt's licences and
      Qt-source.txt) in CR LF
  third_party.py sbom PARTS_JSON ROOT OUT NAME VERSION
      the bill of materials of the programs under ROOT
  third_party.py normalise PACKAGE EPOCH
      a .deb's members and a .zip's entries with fixed modes, times and order

SOURCE_DATE_EPOCH in the environment is the time of the bill of materials.
"""

import hashlib
import json
import os
import re
import subprocess
import sys
import time
import zipfile

# The SPDX licence of each Debian source package that the programs link
# from: Debian's copyright files say it in prose.
DEBIAN_LICENCES = {
    "glibc": "LGPL-2.1-or-later",
    "gcc-12": "GPL-3.0-or-later WITH GCC-exception-3.1",
    "gcc-mingw-w64": "GPL-3.0-or-later WITH GCC-exception-3.1",
    # The C runtime is under the ZPL (with public-domain parts), winpthreads
    # under the MIT licence.
    "mingw-w64": "ZPL-2.1 AND MIT",
    "qtbase-opensource-src": "LGPL-3.0-only OR GPL-2.0-only OR GPL-3.0-only",
}
# The files of Qt's records that neither their Files nor their Path name, in
# a folder that holds Qt's own code too, where all of the folder would match.
QT_RECORD_FILES = {
    # The gradients are compiled in from the file made from the one it names.
    "webgradients": ["src/gui/painting/webgradients.binaryjson"],
    # None: Qt Core's qsimd.cpp includes it on Linux only, to ask whether it
    # runs under Valgrind, but the Makefiles' scan of the includes does not
    # see the condition; its qsimd.o for Windows has none of Valgrind's code.
    "valgrind": [],
}


def read(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return f.read()


def write(path, text, crlf=False):
    """In CR LF as Windows' own editors expect, whatever the source brought;
    readable by all, whatever the umask."""
    with open(path, "w", encoding="utf-8", newline="\r\n" if crlf else "\n") as f:
        f.write(text.replace("\r\n", "\n"))
    os.chmod(path, 0o644)


def dpkg(*args):
    return subprocess.run(["dpkg-query", *args], capture_output=True, text=True).stdout


def qt_records(root):
    """Each qt_attribution.json under root/src (in the order of their paths):
    its folder, and its records."""
    files = sorted(os.path.join(d, "qt_attribution.json") for d, _, names in os.walk(os.path.join(root, "src"))
                   if "qt_attribution.json" in names)
    for file in files:
        # Some hold tabs in their strings, which strict JSON forbids.
        records = json.loads(read(file), strict=False)
        yield os.path.relpath(os.path.dirname(file), root), records if isinstance(records, list) else [records]


def qt_objects(source, build):
    """Of the files an object is built from, only those that a record can
    stand for are kept: those in the folders of Qt's records, less the
    headers of Qt's own folders (which every object includes) that no record
    names. A generated source (a resource file) stands for what it is made
    from."""
    folders, named = set(), set()
    for where, records in qt_records(source):
        folders.add(where + "/")
        named.update(f"{where}/{f}" for r in records for f in re.split(r"[ ,]+", r.get("Files", "")) if f)
    prefix, lines = os.path.join(source, ""), set()
    for folder, _, names in os.walk(build):
        for name in (n for n in names if n.startswith("Makefile")):
            text = read(os.path.join(folder, name)).replace("\\\n", " ")
            library = re.search(r"^DESTDIR_TARGET *= *(?:.*[/ ])?([^/ ]+\.a) *$", text, re.M)
            needs = {m[1]: m[2].split() for m in re.finditer(r"^([^\t#=\n:]+): (.*)$", text, re.M)}
            for target, inputs in needs.items() if library else ():
                if target.endswith(".o"):
                    inputs = inputs + [f for i in inputs for f in needs.get(i, [])]
                    files = [f for f in dict.fromkeys(i[len(prefix):] for i in inputs if i.startswith(prefix))
                             if f in named or not (f.endswith(".h") and "/3rdparty/" not in f)
                             and any(f.startswith(d) for d in folders)]
                    lines.add(" ".join([library[1], target.rsplit("/", 1)[-1]] + files))
    return sorted(lines)


def debian_parts(links, linked):
    """The Debian source package of each file that a program linked, a part
    each: its notice the copyright files of the binary packages that the
    files came from (a text they share, once)."""
    parts = {}
    for program, path, how in links:
        owner = re.match(r"([^ ,:]+)(:[^ ,:]+)?: ", dpkg("-S", path))
        if not owner:
            print(f"third_party.py: no installed package holds {path}", file=sys.stderr)
            name = os.path.basename(path)
            parts.setdefault(name, {"id": name, "name": name, "version": "", "licence": "NOASSERTION",
                                    "download": "NOASSERTION", "origin": "none", "programs": {}})
            parts[name]["programs"][program] = how
            continue
        # With its architecture, where it has one: dpkg answers for each
        # architecture it knows the package for.
        package, qualified = owner[1], owner[1] + (owner[2] or "")
        source = dpkg("-W", "-f=${source:Package}", qualified)
        part = parts.setdefault(source, {
            "id": source, "name": source, "version": dpkg("-W", "-f=${source:Version}", qualified),
            "licence": DEBIAN_LICENCES.get(source, "NOASSERTION"), "programs": {}, "packages": {}})
        part["programs"][program] = how
        part["packages"].setdefault((package, qualified), set()).add(os.path.basename(path))
    for part in (p for p in parts.values() if "packages" in p):
        part["origin"] = f"{part['name']} {part['version']} (Debian source package)"
        part["download"] = f"https://snapshot.debian.org/package/{part['name']}/{part['version']}/"
        notice, copyrights = f"{part['origin']}, linked in from its packages\n", []
        for (package, qualified), files in sorted(part.pop("packages").items()):
            notice += f"  {package} {dpkg('-W', '-f=${Version}', qualified)}: {', '.join(sorted(files))}\n"
            linked.append(f"{part['id']}: {package}: {', '.join(sorted(files))}")
            copyright = read(f"/usr/share/doc/{package}/copyright")
            copyrights += [copyright] if copyright not in copyrights else []
        part["notice"] = (notice + "whose copyright files (/usr/share/doc/<package>/copyright) follow.\n"
                          + "".join("\n" + c for c in copyrights))
    return list(parts.values())


def qt_parts(notes, members, linked):
    """Each of Qt's records of the code it bundles whose files an object that
    the links took from Qt's libraries is built from (qt-objects.txt)."""
    taken, found = {}, set()  # taken: file -> (the first object built from it, the programs)
    for line in read(os.path.join(notes, "qt-objects.txt")).splitlines():
        library, member, *files = line.split(" ")
        if (library, member) in members:
            found.add((library, member))
            for file in files:
                taken.setdefault(file, (f"{library}({member})", set()))[1].update(members[library, member])
    if set(members) - found:
        sys.exit(f"third_party.py: {notes}/qt-objects.txt does not say what these are built from: "
                 + ", ".join(sorted(f"{lib}({member})" for lib, member in set(members) - found)))
    parts = []
    for where, records in qt_records(os.path.join(notes, "qt-attribution")):
        for record in records:
            scope = QT_RECORD_FILES.get(record["Id"])
            if scope is None and not record.get("Files") and record.get("Path"):
                scope = [f"{where}/{record['Path']}", f"{where}/{record['Path']}/"]
            if scope is None:
                scope = [f"{where}/{f}" for f in re.split(r"[ ,]+", record.get("Files", "")) if f]
                if not scope and "3rdparty" not in where.split("/"):
                    print(f"third_party.py: Qt's record {record['Id']} names no files in {where}, which "
                          "holds Qt's own code too; all of the folder is taken for it", file=sys.stderr)
                scope = scope or [where + "/"]
            files = [f for entry in scope for f in taken if f == entry or entry.endswith("/") and f.startswith(entry)]
            if not files:
                continue
            linked.extend(f"{record['Id']}: {f} in {taken[f][0]}" for f in files)
            libraries = ", ".join(dict.fromkeys(taken[f][0].split("(")[0] for f in files))
            copyright, licence_file = record.get("Copyright", ""), record.get("LicenseFile")
            if record["Id"] == "grayraster":
                # Its record names FreeType's LICENSE.TXT, which only offers the
                # choice of the FreeType License or the GPL v2. The viewer takes
                # the FreeType License, which asks for this credit in the
                # documentation; Qt's record of FreeType itself names a file
                # with both texts.
                licence_file = "../../3rdparty/freetype/LICENSE.txt"
                years = re.search(r"[0-9]+-[0-9]+", copyright)[0]
                copyright += (f"\nPortions of this software are copyright (C) {years} "
                              "The FreeType Project (www.freetype.org). All rights reserved.")
            part = {"id": record["Id"], "name": record["Name"], "version": record.get("Version", ""),
                    # SPDX writes its operators in capitals; some records do not.
                    "licence": re.sub(r" (and|or|with) ", lambda m: m[0].upper(),
                                      record.get("LicenseId") or "NOASSERTION"),
                    "copyright": copyright, "origin": f"bundled in Qt ({where})", "within": "Qt",
                    "download": record.get("DownloadLocation") or record.get("Homepage") or "NOASSERTION",
                    "programs": {p: "static" for f in files for p in sorted(taken[f][1])}}
            licence = os.path.join(notes, "qt-attribution", where, licence_file or "")
            if licence_file and not os.path.exists(licence):
                print(f"third_party.py: no {where}/{licence_file} for {record['Id']}", file=sys.stderr)
            else:
                part["notice"] = (f"{part['name']} {part['version']}".strip() + f"\n  bundled in Qt ({where}), linked "
                                  f"in from its {libraries}\n  licence: {record.get('License', '')}\n\n{copyright}\n"
                                  + ("\n" + read(licence) if licence_file else ""))
            parts.append(part)
    return parts


def make_parts(out, options):
    os.makedirs(out, exist_ok=True)
    option = lambda name: (options.get(name) or [None])[-1]
    build, qt_prefix = os.path.realpath(option("build-dir") or out), option("qt-prefix")
    links, members, linked, programs = [], {}, [], set()
    for program, path in (entry.split("=", 1) for entry in options.get("link", [])):
        if "/" not in path:  # an archive that the compiler links
            target = [f"--target={option('target')}"] if option("target") else []
            path = subprocess.run([option("compiler"), *target, f"-print-file-name={path}"], capture_output=True,
                                  text=True, check=True).stdout.strip()
        links.append((program, os.path.realpath(path), "dynamic" if ".so" in path else "static"))
        programs.add(program)
    for program, path in (entry.split("=", 1) for entry in options.get("map", [])):
        programs.add(program)
        # "<archive>(<member>)" at a line's start, in the map's first part: a
        # member that the link took; "LOAD <object>": an object it was given.
        for m in re.finditer(r"^(/[^(\n]+\.a)\(([^)\n]+)\)(?= |$)|^LOAD (/.+\.o)$", read(path), re.M):
            file = os.path.realpath(m[1] or m[3])
            if qt_prefix and file.startswith(os.path.realpath(qt_prefix) + "/"):
                members.setdefault((os.path.basename(file), m[2] or ""), set()).add(program)
            elif not file.startswith(build + "/"):
                links.append((program, file, "static"))
    parts = debian_parts(links, linked)
    if option("qt-notes"):
        notes = option("qt-notes")
        facts = dict(line.split(": ", 1) for line in read(os.path.join(notes, "qt-source.txt")).splitlines())
        package, version = facts["package"].split(" ")
        parts.append({"id": "Qt", "name": "Qt", "version": facts["qt"], "licence": DEBIAN_LICENCES[package],
                      "origin": f"{package} {version} (Debian source package), qtbase only",
                      "download": f"https://snapshot.debian.org/package/{package}/{version}/",
                      "programs": {p: "static" for m in members.values() for p in sorted(m)}})
        parts += qt_parts(notes, members, linked)
    with open(os.path.join(out, "parts.json"), "w") as f:
        json.dump({"programs": sorted(programs), "parts": parts}, f, indent=1)
    write(os.path.join(out, "built-using.txt"), ", ".join(sorted(
        f"{p['name']} (= {p['version']})" for p in parts
        if p["origin"].endswith("(Debian source package)") and "static" in p["programs"].values())))
    write(os.path.join(out, "linked.txt"), "".join(line + "\n" for line in linked))
    if not option("template"):
        return
    defines = dict(entry.split("=", 1) for entry in options.get("define", []))
    for part in (p for p in parts if p["id"] != "Qt" and "notice" not in p):
        print(f"third_party.py: THIRD-PARTY-NOTICES.txt lacks the notice of {part['id']}", file=sys.stderr)
    defines["TOOLS_NOTICES_SECTIONS"] = "".join("\n" + "=" * 72 + "\n" + p["notice"] for p in parts if "notice" in p)
    defines["TOOLS_NOTICES_QT"] = ""
    if option("qt-notes"):
        defines["TOOLS_NOTICES_QT"] = f"""
script_view.exe also has Qt {facts['qt']} linked in (bin\\Qt-source.txt says from
which source and how it was built, and how to link the viewer again with
another Qt). Qt's own licence is in bin\\Qt-LICENSE-LGPL-3.0.txt, with the
bin\\Qt-LICENSE-GPL-3.0.txt it builds on. The sections after the runtime's are
the third-party code that Qt bundles and that the viewer has linked in: each
whose files an object that the link took from Qt's libraries is built from.
"""
        for licence in ("LGPL", "GPL"):
            write(os.path.join(out, f"Qt-LICENSE-{licence}-3.0.txt"), read(f"{notes}/LICENSE.{licence}3"), crlf=True)
        defines.update({"TOOLS_QT_" + k.upper().replace("-", "_"): v for k, v in facts.items()},
                       TOOLS_QT_VERSION=facts["qt"], TOOLS_QT_PACKAGE_VERSION=version, TOOLS_QT_PATCHES="\n".join(
                           "    " + p for p in read(os.path.join(notes, "debian-patches.txt")).split()))
        write(os.path.join(out, "Qt-source.txt"), configure(read(option("qt-template")), defines), crlf=True)
    write(os.path.join(out, "THIRD-PARTY-NOTICES.txt"), configure(read(option("template")), defines), crlf=True)


def configure(template, defines):
    """@NAME@ replaced as CMake's configure_file(@ONLY) does."""
    return re.sub(r"@([A-Za-z_0-9]+)@", lambda m: defines.get(m[1], ""), template)


def spdx_id(kind, name):
    return f"SPDXRef-{kind}-" + re.sub(r"[^A-Za-z0-9.-]", "-", name)


def sbom(parts_json, root, out, name, version):
    """The programs under ROOT as files, and each part as a package linked
    into the programs that take it (statically, or as a shared library)."""
    with open(parts_json) as f:
        listed = json.load(f)
    product, files, relationships = spdx_id("Package", name), [], []
    for folder, _, names in sorted(os.walk(root)):
        for file in sorted(n for n in names if os.path.splitext(n)[0] in listed["programs"]):
            with open(os.path.join(folder, file), "rb") as f:
                data = f.read()
            files.append({"SPDXID": spdx_id("File", file), "fileTypes": ["BINARY"], "licenseConcluded": "NOASSERTION",
                          "fileName": "./" + os.path.relpath(os.path.join(folder, file), root),
                          "checksums": [{"algorithm": a, "checksumValue": hashlib.new(a, data).hexdigest()}
                                        for a in ("SHA1", "SHA256")]})
            relationships.append((product, "CONTAINS", files[-1]["SPDXID"]))
            relationships += [(files[-1]["SPDXID"], p["programs"][os.path.splitext(file)[0]].upper() + "_LINK",
                               spdx_id("Package", p["id"])) for p in listed["parts"]
                              if os.path.splitext(file)[0] in p["programs"]]
    packages = [{"SPDXID": product, "name": name, "versionInfo": version, "downloadLocation": "NOASSERTION",
                 "filesAnalyzed": False, "licenseConcluded": "MIT", "licenseDeclared": "MIT",
                 "supplier": "Organization: Tamber tools maintainers"}]
    for part in listed["parts"]:
        packages.append({"SPDXID": spdx_id("Package", part["id"]), "name": part["name"],
                         "versionInfo": part["version"] or "NOASSERTION", "downloadLocation": part["download"],
                         "sourceInfo": part["origin"], "filesAnalyzed": False, "licenseConcluded": "NOASSERTION",
                         "licenseDeclared": part["licence"], "copyrightText": part.get("copyright") or "NOASSERTION"})
        if part.get("within"):
            relationships.append((spdx_id("Package", part["within"]), "CONTAINS", packages[-1]["SPDXID"]))
    digest = hashlib.sha256("".join(f["checksums"][1]["checksumValue"] for f in files).encode()).hexdigest()
    created = time.gmtime(int(os.environ.get("SOURCE_DATE_EPOCH", 0)))
    write(out, json.dumps({
        "spdxVersion": "SPDX-2.3", "dataLicense": "CC0-1.0", "SPDXID": "SPDXRef-DOCUMENT", "name": name,
        "documentNamespace": f"https://tamber-tools.example/spdx/{name}-{version}-{digest}",
        "creationInfo": {"created": time.strftime("%Y-%m-%dT%H:%M:%SZ", created),
                         "creators": ["Organization: Tamber tools maintainers", "Tool: cmake/third_party.py"]},
        "documentDescribes": [product], "packages": packages, "files": files,
        "relationships": [{"spdxElementId": a, "relationshipType": r, "relatedSpdxElement": b}
                          for a, r, b in relationships]}, indent=1) + "\n")


def normalise(package, epoch):
    """CPack takes the modes of a .deb's members from the files it wrote
    them from (the umask), a .zip's order from the folders' listing and its
    modes and times from the files, in the local time zone."""
    with open(package, "rb") as f:
        data = bytearray(f.read())
    if package.endswith(".deb"):
        at = 8  # past "!<arch>\n", at each member's header
        while at < len(data):
            data[at + 40:at + 48] = b"100644  "
            at += 60 + (int(data[at + 48:at + 58]) + 1 & ~1)
        with open(package, "wb") as f:
            f.write(data)
        return
    with zipfile.ZipFile(package) as old:
        entries = [(info, old.read(info)) for info in sorted(old.infolist(), key=lambda i: i.filename)]
    with zipfile.ZipFile(package, "w") as new:
        for info, content in entries:
            fixed = zipfile.ZipInfo(info.filename, time.gmtime(max(epoch, 315532800))[:6])
            fixed.create_system = 3  # Unix, for its modes
            fixed.external_attr = (0o40755 if info.is_dir() else 0o100755 if info.filename.endswith(".exe")
                                   else 0o100644) << 16
            new.writestr(fixed, content, zipfile.ZIP_STORED if info.is_dir() else zipfile.ZIP_DEFLATED, 9)


def main():
    command, *arguments = sys.argv[1:] or [""]
    positional = [a for a in arguments if not a.startswith("--")]
    options = {}
    for option in (a[2:].split("=", 1) for a in arguments if a.startswith("--")):
        options.setdefault(option[0], []).append(option[1])
    if command == "qt-objects" and len(positional) == 2:
        sys.stdout.write("".join(line + "\n" for line in qt_objects(*positional)))
    elif command == "parts" and len(positional) == 1:
        make_parts(positional[0], options)
    elif command == "sbom" and len(positional) == 5:
        sbom(*positional)
    elif command == "normalise" and len(positional) == 2:
        normalise(positional[0], int(positional[1]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
