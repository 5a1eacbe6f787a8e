#!/usr/bin/env python3
"""Turns a UTF-8 table of named texts into a C++ header of GBK byte strings.

Each non-empty line that does not start with '#' reads:  Name = "text"
The text may use \\r, \\n, \\t, \\\\ and \\" escapes. The output declares
`inline constexpr char Name[]` in namespace gbk with the exact GBK bytes.
"""
import re
import sys

LINE = re.compile(r'^\s*([A-Za-z_][A-Za-z0-9_]*)\s*=\s*"(.*)"\s*$')
ESC = {'r': '\r', 'n': '\n', 't': '\t', '\\': '\\', '"': '"'}


def unescape(s):
    out, i = [], 0
    while i < len(s):
        c = s[i]
        if c == '\\' and i + 1 < len(s) and s[i + 1] in ESC:
            out.append(ESC[s[i + 1]])
            i += 2
        else:
            out.append(c)
            i += 1
    return ''.join(out)


def main(src, dst):
    import os
    os.makedirs(os.path.dirname(dst) or '.', exist_ok=True)
    rows = []
    with open(src, encoding='utf-8') as f:
        for n, line in enumerate(f, 1):
            if not line.strip() or line.lstrip().startswith('#'):
                continue
            m = LINE.match(line.rstrip('\n'))
            if not m:
                sys.exit(f'{src}:{n}: expected Name = "text"')
            rows.append((m.group(1), unescape(m.group(2)).encode('gbk')))
    with open(dst, 'w', encoding='ascii') as f:
        f.write('// Generated from %s; do not edit.\n#pragma once\n\nnamespace gbk {\n' % src.split('/')[-1])
        for name, data in rows:
            f.write('inline constexpr char %s[] = "%s";\n' % (name, ''.join('\\%03o' % b if (b >= 0x80 or b < 0x20 or b in (0x22, 0x5c, 0x3f)) else chr(b) for b in data)))
        f.write('}  // namespace gbk\n')


if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2])
