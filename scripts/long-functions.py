#!/usr/bin/env python3
"""Lists the functions of src/ longer than a limit (default 100 lines), the
longest first: a function is a brace block at namespace or class level whose
head ends with ')' (qualifiers aside). Lambdas and blocks inside a function
count towards it."""
import os, re, sys

def strip(text):
    # comments, strings and characters blanked, lines kept
    out, i, n = [], 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith('//', i):
            j = text.find('\n', i); j = n if j < 0 else j
            out.append(' ' * (j - i)); i = j
        elif text.startswith('/*', i):
            j = text.find('*/', i + 2); j = n if j < 0 else j + 2
            out.append(re.sub(r'[^\n]', ' ', text[i:j])); i = j
        elif text.startswith('R"', i):
            m = re.match(r'R"([^(]*)\(', text[i:])
            end = text.find(')' + m.group(1) + '"', i) + len(m.group(1)) + 2
            out.append(re.sub(r'[^\n]', ' ', text[i:end])); i = end
        elif c in '"\'':
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == '\\' else 1
            out.append(c + ' ' * (j - i - 1) + c); i = j + 1
        else:
            out.append(c); i += 1
    return ''.join(out)

def functions(path):
    text = strip(open(path, encoding='utf-8', errors='replace').read())
    stack = []  # (kind, start offset, head)
    found = []
    last = 0
    for m in re.finditer(r'[{};]', text):
        ch = m.group()
        if ch == '{':
            head = text[last:m.start()]
            inside_fn = any(k == 'fn' for k, _, _ in stack)
            h = ' '.join(head.split())
            is_fn = (not inside_fn and re.search(r'\)\s*(const|noexcept|override|final|mutable|->[^{]*|\s)*$', h)
                     and not re.match(r'^(if|for|while|switch|catch)\b', h.split('(')[0].strip().split()[-1] if h.split('(')[0].strip() else ''))
            stack.append(('fn' if is_fn else 'block', m.start(), h))
            last = m.end()
        elif ch == '}':
            if stack:
                kind, start, h = stack.pop()
                if kind == 'fn':
                    lines = text.count('\n', start, m.start()) + 1
                    name = re.search(r'([~\w:<>]+)\s*\([^()]*(\([^()]*\)[^()]*)*\)[^()]*$', h)
                    found.append((lines, name.group(1) if name else h[-60:], text.count('\n', 0, start) + 1))
            last = m.end()
        else:
            last = m.end()
    return found

limit = int(sys.argv[1]) if len(sys.argv) > 1 else 100
root = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'src')
rows = []
for d, _, names in os.walk(root):
    for f in names:
        if f.endswith(('.cpp', '.h')):
            p = os.path.join(d, f)
            for lines, name, line in functions(p):
                if lines > limit:
                    rows.append((lines, os.path.relpath(p, os.path.join(root, '..')), line, name))
for lines, p, line, name in sorted(rows, reverse=True):
    print(f'{lines:5d}  {p}:{line}  {name}')
