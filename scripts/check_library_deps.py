#!/usr/bin/env python3
"""Checks that every library lists in its CMake dependencies each library whose headers it includes.

    scripts/check_library_deps.py [SOURCE_DIR]        (run by ctest as library_deps_check)

A library is an osa_add_library call, or an add_library call for a header-only (INTERFACE) one;
its dependencies are its DEPS and PRIVATE_DEPS, plus what target_link_libraries adds. A header
belongs to the library that compiles the .cpp of the same name beside it; otherwise to the library
named after it in its folder (osa_version for version.hpp), otherwise to the only library of its
folder or of the nearest folder above that declares one. A library's own sources and the headers
it owns are read for `#include "..."` lines naming headers of this repository (src/ or tests/).

Also checks that no library under src/ depends on a library under tests/: test doubles stay out of
the product. Prints one line per omission and exits 1 when there is any.
"""

import re
import sys
from pathlib import Path

CALL = re.compile(r"\b(osa_add_library|add_library|target_link_libraries)\s*\(")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
KEYWORDS = {"NAME", "SRCS", "DEPS", "PRIVATE_DEPS", "TESTONLY"}
LINK_SCOPES = {"PUBLIC", "PRIVATE", "INTERFACE"}
HEADER_SUFFIXES = (".hpp", ".hpp.in")


def calls(text):
    """(command, arguments) of each call of interest, comments removed."""
    text = re.sub(r"#[^\n]*", "", text)
    for match in CALL.finditer(text):
        depth, end = 1, match.end()
        while depth and end < len(text):
            depth += {"(": 1, ")": -1}.get(text[end], 0)
            end += 1
        yield match.group(1), text[match.end() : end - 1].replace('"', "").split()


class Library:
    def __init__(self, name, folder):
        self.name, self.folder = name, folder
        self.sources, self.deps = [], set()
        self.headers = set()


def read_libraries(root):
    libraries = {}
    lists = [p for p in root.rglob("CMakeLists.txt") if not ignored(root, p)]
    for cmake_list in sorted(lists):
        folder = cmake_list.parent
        for command, args in calls(cmake_list.read_text()):
            if command == "osa_add_library":
                sections, key = {}, None
                for arg in args:
                    if arg in KEYWORDS:
                        key = arg
                        sections.setdefault(key, [])
                    elif key:
                        sections[key].append(arg)
                library = Library(sections["NAME"][0], folder)
                library.sources = [folder / s for s in sections.get("SRCS", []) if "$" not in s]
                library.deps = set(sections.get("DEPS", []) + sections.get("PRIVATE_DEPS", []))
                libraries[library.name] = library
            elif command == "add_library" and "ALIAS" not in args and "IMPORTED" not in args:
                library = Library(args[0], folder)
                library.sources = [folder / s for s in args[1:] if s.endswith(".cpp")]
                libraries[library.name] = library
        for command, args in calls(cmake_list.read_text()):
            if command == "target_link_libraries" and args[0] in libraries:
                libraries[args[0]].deps |= {a for a in args[1:] if a not in LINK_SCOPES}
    return libraries


def ignored(root, path):
    parts = path.relative_to(root).parts
    return parts[0] in {"build", "python", "bench"} or "node_modules" in parts


def header_owner(header, by_folder, compiled):
    """The library that owns the header (a path in the source tree), or None."""
    stem = header.name.removesuffix(".in").removesuffix(".hpp")
    if (header.parent / f"{stem}.cpp") in compiled:
        return compiled[header.parent / f"{stem}.cpp"]
    for library in by_folder.get(header.parent, []):
        if library.name.endswith("_" + stem):
            return library
    folder = header.parent
    while folder != folder.parent:
        if len(by_folder.get(folder, [])) == 1:
            return by_folder[folder][0]
        if by_folder.get(folder):
            return None  # several libraries and none compiles or is named after it
        folder = folder.parent
    return None


def main():
    root = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent.parent).resolve()
    libraries = read_libraries(root)
    by_folder, compiled = {}, {}
    for library in libraries.values():
        by_folder.setdefault(library.folder, []).append(library)
        for source in library.sources:
            compiled[source] = library

    owners, problems = {}, []
    for top in (root / "src", root / "tests"):
        for header in top.rglob("*"):
            if header.name.endswith(HEADER_SUFFIXES) and not ignored(root, header):
                owner = header_owner(header, by_folder, compiled)
                # Included by the path it has under src/ (or, for tests/, under the root), with
                # a template's generated name.
                include = header.relative_to(root / "src" if top.name == "src" else root)
                owners[str(include).removesuffix(".in")] = owner
                if owner:
                    owner.headers.add(header)

    for library in sorted(libraries.values(), key=lambda library: library.name):
        product = library.folder.is_relative_to(root / "src")
        for dep in sorted(library.deps):
            if product and dep in libraries and not libraries[dep].folder.is_relative_to(root / "src"):
                problems.append(f"{library.name}: a product library depends on {dep}, a test library")
        for path in sorted(set(library.sources) | library.headers):
            if not path.exists():
                continue
            for included in INCLUDE.findall(path.read_text()):
                if included not in owners:
                    continue  # not a header of this repository
                owner = owners[included]
                where = path.relative_to(root)
                if owner is None:
                    problems.append(f"{where}: no library owns \"{included}\"")
                elif owner is not library and owner.name not in library.deps:
                    problems.append(
                        f"{library.name}: {where} includes \"{included}\" but its DEPS lack "
                        f"{owner.name}")
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} problems with library dependencies", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
