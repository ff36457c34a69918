#!/usr/bin/env python3
"""The self-check's three-language table: each entry's Japanese text is its comment, kept
beside the text's bytes in UTF-8 and in code page 932 (Shift-JIS as Windows has it). The
bytes are made from the comment by Python's own codecs, never by hand.

  tools/japanese_texts.py --check src/front/self_check_texts.cpp   the bytes are the comment's
  tools/japanese_texts.py --write src/front/self_check_texts.cpp   makes them so

An entry:
    // kName: the Japanese text, continued on lines that begin "//   " and are joined
    //   to it as they stand
    {"<UTF-8 bytes>",
     "<code page 932 bytes>",
     "the English text"},
"""
import re
import sys

ENTRY = re.compile(r'^ *// (k\w+): (.*)\n((?: *//   .*\n)*) *\{((?:"(?:\\.|[^"\\])*"|[\s,])*)\},\n',
                   re.M)
LITERAL = re.compile(r'"((?:\\.|[^"\\])*)"')
WIDTH = 100  # columns of a line of bytes, indentation included


def comment_text(entry):
    text = entry.group(2)
    for more in entry.group(3).splitlines():
        text += more.split('//   ', 1)[1]
    return text


def literal_groups(body):
    """The entry's strings, adjacent literals joined: UTF-8, CP932, English."""
    groups, current = [], None
    for piece in re.split(r'("(?:\\.|[^"\\])*")', body):
        if piece.startswith('"'):
            current = (current or '') + LITERAL.fullmatch(piece).group(1)
        elif ',' in piece:
            groups.append(current)
            current = None
    if current is not None:
        groups.append(current)
    return groups


def decode(literal):
    out, i = bytearray(), 0
    while i < len(literal):
        c = literal[i]
        if c != '\\':
            out += c.encode('ascii')
            i += 1
        elif literal[i + 1] == 'x':
            out.append(int(literal[i + 2:i + 4], 16))
            i += 4
        else:
            out += {'\\': b'\\', '"': b'"', 'n': b'\n'}[literal[i + 1]]
            i += 2
    return bytes(out)


def literal_lines(data, indent):
    """The bytes as adjacent C literals; an escape never runs into a hex digit after it."""
    lines, line, hex_before = [], '', False
    for byte in data:
        ch = chr(byte)
        if byte >= 0x80 or ch in '"\\' or byte < 0x20:
            piece = '\\x%02x' % byte if ch not in '"\\' else '\\' + ch
            hex_before = piece.startswith('\\x')
        else:
            piece = ('""' if hex_before and ch in '0123456789abcdefABCDEF' else '') + ch
            hex_before = False
        if len(indent) + len(line) + len(piece) + 2 > WIDTH:
            lines.append(line)
            line = piece.lstrip('"') if piece.startswith('""') else piece
        else:
            line += piece
    lines.append(line)
    return ['"' + text + '"' for text in lines]


def entry_body(text, english_literals, indent):
    parts = []
    for data in (text.encode('utf-8'), text.encode('cp932')):
        parts.append(('\n' + indent + ' ').join(literal_lines(data, indent + ' ')))
    return indent + '{' + (',\n' + indent + ' ').join(parts + [english_literals]) + '},\n'


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ('--check', '--write'):
        sys.exit(__doc__)
    path = sys.argv[2]
    with open(path, encoding='utf-8') as f:
        source = f.read()
    wrong = []

    def mend(entry):
        text = comment_text(entry)
        groups = literal_groups(entry.group(4))
        if len(groups) != 3:
            sys.exit('%s: %s has %d strings, not 3' % (path, entry.group(1), len(groups)))
        utf8, cp932 = decode(groups[0]), decode(groups[1])
        if utf8 != text.encode('utf-8') or cp932 != text.encode('cp932'):
            wrong.append(entry.group(1))
        if utf8.decode('utf-8') != cp932.decode('cp932'):
            wrong.append(entry.group(1) + ' (its two forms differ)')
        english = re.search(r'"(?:\\.|[^"\\])*"(?:\s*"(?:\\.|[^"\\])*")*\s*$',
                            entry.group(4)).group(0).strip()
        head = entry.group(0)[:entry.start(4) - 1 - entry.start(0)]
        indent = head[head.rfind('\n') + 1:]
        return head + entry_body(text, english, indent)[len(indent):]

    made = ENTRY.sub(mend, source)
    count = len(ENTRY.findall(source))
    if sys.argv[1] == '--write':
        with open(path, 'w', encoding='utf-8') as f:
            f.write(made)
        print('%s: %d texts written' % (path, count))
    elif wrong:
        sys.exit('%s: the bytes are not the comment\'s: %s' % (path, ', '.join(wrong)))
    else:
        print('%s: %d texts, each as its comment in UTF-8 and in code page 932' % (path, count))


if __name__ == '__main__':
    main()
