#!/usr/bin/env python3
"""Prints the functions of one executable that callgrind profiles saw run, in the order first seen.

    tools/callgrind_functions.py OBJECT_SUFFIX PROFILE...

Names are printed as the profiles hold them (run callgrind with --demangle=no for linker symbols).
"""
import re
import sys

NAME = re.compile(r'^(c?ob|c?fn)=\((\d+)\)(?: (.*))?$')


def functions(path, suffix):
    objects, names, current = {}, {}, None
    for line in open(path, encoding='utf-8', errors='replace'):
        m = NAME.match(line.rstrip('\n'))
        if not m:
            continue
        kind, ident, text = m.groups()
        table = objects if kind.endswith('ob') else names
        if text:
            table[ident] = text
        if kind == 'ob':
            current = ident
        elif kind == 'fn' and objects.get(current, '').endswith(suffix):
            name = names.get(ident, '')
            if name and not name.startswith('0x'):
                yield name


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    seen = set()
    for path in sys.argv[2:]:
        for name in functions(path, sys.argv[1]):
            if name not in seen:
                seen.add(name)
                print(name)


if __name__ == '__main__':
    main()
