#!/usr/bin/env python3
"""Checks every #include under src/ against the module table of
docs/ARCHITECTURE.md: a folder includes only the folders its row may use
(no upward include), the core never includes a Qt Widgets header, and a
private header (*_p.h) is included only from its own folder (and from the
tests of its top folder).

    check_layering.py ROOT QT_WIDGETS_INCLUDE_DIR   checks the tree at ROOT
    check_layering.py --self-test QT_WIDGETS_INCLUDE_DIR
                                                    plants one fault of each
                                                    kind in a copy and expects
                                                    each to be caught
"""
import os
import re
import shutil
import sys
import tempfile

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
ROW = re.compile(r'^\|\s*(`[^|]*`)\s*\|[^|]*\|\s*([^|]*)\|\s*$')
FOLDER = re.compile(r'`([a-z_]+)/`')


def read_table(root):
    """[(folders, allowed folders or None for 'the core' rule, core?)] in table order."""
    text = open(os.path.join(root, 'docs', 'ARCHITECTURE.md'), encoding='utf-8').read()
    section = text.split('## Modules', 1)[1].split('\n## ', 1)[0]
    rows = []
    for line in section.splitlines():
        m = ROW.match(line)
        if not m:
            continue
        folders = FOLDER.findall(m.group(1))
        if folders:
            rows.append((folders, [w.strip() for w in m.group(2).split(',')]))
    if not rows:
        raise SystemExit('docs/ARCHITECTURE.md: no module table under "## Modules"')
    return rows


def allowed_map(rows):
    """folder -> set of folders it may include (itself included), and the core's folders."""
    known = [f for folders, _ in rows for f in folders]
    core = []
    allowed = {}
    above = []
    for folders, uses in rows:
        may = set(folders)
        widgets = False
        for use in uses:
            if use == 'all above':
                may.update(above)
            elif use == 'the core':
                may.update(core)
            elif use in known:
                may.add(use)
            elif use.startswith('Qt ') or use == 'PrintSupport':
                widgets = widgets or use == 'Qt Widgets'
            else:
                raise SystemExit('docs/ARCHITECTURE.md: module table: "%s" is neither a folder nor a Qt module' % use)
        for f in folders:
            allowed[f] = may
        # The core is every row up to the first one that may use Qt Widgets
        # or "the core" itself.
        if not widgets and 'the core' not in uses and len(core) == len(above):
            core.extend(folders)
        above.extend(folders)
    return allowed, set(core)


def widget_headers(qt_widgets_dir):
    return set(os.listdir(qt_widgets_dir)) if os.path.isdir(qt_widgets_dir) else set()


def check(root, qt_widgets_dir):
    rows = read_table(root)
    allowed, core = allowed_map(rows)
    widgets = widget_headers(qt_widgets_dir)
    if not widgets:
        raise SystemExit('no Qt Widgets headers in %s' % qt_widgets_dir)
    faults = []
    for top in ('src', 'tests'):
        for dirpath, _, files in os.walk(os.path.join(root, top)):
            for name in sorted(files):
                if not name.endswith(('.h', '.cpp')):
                    continue
                path = os.path.join(dirpath, name)
                rel = os.path.relpath(path, root)
                parts = rel.split(os.sep)
                folder = parts[1] if len(parts) > 2 else None
                text = open(path, encoding='utf-8', errors='replace').read()
                for m in INCLUDE.finditer(text):
                    kind, target = m.group(1), m.group(2)
                    line = text.count('\n', 0, m.start()) + 1
                    where = '%s:%d' % (rel, line)
                    if kind == '<':
                        base = target.split('/')[-1]
                        in_widgets = target.startswith('QtWidgets/') or ('/' not in target and base in widgets)
                        if top == 'src' and folder in core and in_widgets:
                            faults.append('%s: the core includes the Qt Widgets header <%s>' % (where, target))
                        continue
                    tparts = target.split('/')
                    tfolder = tparts[0]
                    if tfolder not in allowed:
                        continue  # a file of the same folder, or a generated one
                    if top == 'src' and folder in allowed and tfolder not in allowed[folder]:
                        faults.append('%s: %s/ may not include "%s" (its row of the module table allows: %s)'
                                      % (where, folder, target, ', '.join(sorted(allowed[folder]))))
                    if target.endswith('_p.h'):
                        own = os.path.dirname(os.path.join('src', target))
                        if top == 'src' and os.path.dirname(rel) != own:
                            faults.append('%s: "%s" is private to %s/' % (where, target, own))
                        if top == 'tests' and folder != tfolder:
                            faults.append('%s: "%s" is private to %s/ (tests of %s/ only)'
                                          % (where, target, own, tfolder))
    return faults


def self_test(qt_widgets_dir):
    here = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    with tempfile.TemporaryDirectory() as tmp:
        for sub in ('docs', 'src', 'tests'):
            shutil.copytree(os.path.join(here, sub), os.path.join(tmp, sub))
        clean = check(tmp, qt_widgets_dir)
        if clean:
            print('\n'.join(clean))
            print('self-test: the unchanged tree is not clean')
            return 1
        planted = {
            'src/foundation/values/upward.cpp': '#include "model/report.h"\n',
            'src/engine/widgets.cpp': '#include <QWidget>\n',
            'src/frame/private.cpp': '#include "data/sql_support_p.h"\n',
        }
        for rel, text in planted.items():
            with open(os.path.join(tmp, rel), 'w') as f:
                f.write(text)
        found = check(tmp, qt_widgets_dir)
        missed = [rel for rel in planted if not any(fault.startswith(rel + ':') for fault in found)]
        if missed or len(found) != len(planted):
            print('\n'.join(found))
            print('self-test: planted faults not caught exactly: %s' % ', '.join(missed))
            return 1
    print('self-test: an upward include, a Widgets include in the core and a foreign private header are caught')
    return 0


def main():
    if len(sys.argv) == 3 and sys.argv[1] == '--self-test':
        return self_test(sys.argv[2])
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    faults = check(sys.argv[1], sys.argv[2])
    for fault in faults:
        print(fault)
    if faults:
        print('%d include(s) break the module table of docs/ARCHITECTURE.md' % len(faults))
        return 1
    print('every include follows the module table of docs/ARCHITECTURE.md')
    return 0


if __name__ == '__main__':
    sys.exit(main())
