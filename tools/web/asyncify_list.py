#!/usr/bin/env python3
"""The functions of the browser build that can be on the stack when the program sleeps, and so
must be instrumented by Emscripten's asynchronous mode, found in the program itself.

  tools/web/asyncify_list.py build-web > web/asyncify-functions.json
  tools/web/asyncify_list.py --check build-web

reads the program the browser build made (web/gnatrix.wasm, its functions named by the symbol
map Emscripten writes beside it, --emit-symbol-map) and the game's own object files, and writes
the list the build links with (-sASYNCIFY_ONLY), or with --check fails, naming them, if the
program has functions that can sleep but were not instrumented (the page would crash when
they sleep). tools/web/build.sh checks every build.

A function can sleep if it calls an import that sleeps or a function that can sleep, or if it
is the game's own and calls through a pointer of the type of a function in the program's table
that can sleep. Calls through pointers in the libraries' code are taken not to sleep: all they
could reach is SDL_Delay under a contended lock or in an audio thread, neither of which a
single-threaded page has, and the buffer swap's sleep, which the page turns off
(web/gnatrix-pre.js). Without a list Emscripten takes every call through a pointer for one that
may sleep, and instruments most of the program."""
import glob
import json
import os
import re
import subprocess
import sys

# The imports that unwind the stack: Emscripten's own list (the game's sleep and, on a file in
# IndexedDB, fsync among them).
SLEEPING_IMPORTS = {
    'emscripten_sleep', 'emscripten_wget', 'emscripten_wget_data', 'emscripten_idb_load',
    'emscripten_idb_store', 'emscripten_idb_delete', 'emscripten_idb_exists',
    'emscripten_idb_load_blob', 'emscripten_idb_store_blob', 'SDL_Delay',
    'emscripten_scan_registers', 'emscripten_lazy_load_code', 'emscripten_fiber_swap',
    '__wasi_fd_sync', '_emval_await', '_dlopen_js'}

FUNC = re.compile(r'^ \(func \$(\S+)(.*)$')
IMPORT = re.compile(r'^ \(import "[^"]*" "[^"]*" \(func \$(\S+)(.*)$')
TYPE = re.compile(r'^ \(type \$(\S+) \(func(.*)$')
CALL = re.compile(r'\(call \$([^\s)]+)')
CALL_INDIRECT = re.compile(r'\(call_indirect \(type \$(\S+)\)')
PARAM = re.compile(r'\(param(?: \$\S+)?((?: [if](?:32|64))+)\)')
GLOBAL_GET = re.compile(r'\(global\.get \$([^\s)]+)')
GLOBAL_SET = re.compile(r'\(global\.set \$([^\s)]+)')
RESULT = re.compile(r'\(result((?: [if](?:32|64))+)\)')


def signature(text):
    params = ' '.join(p.strip() for p in PARAM.findall(text))
    results = ' '.join(r.strip() for r in RESULT.findall(text))
    return params + '->' + results


def unescape(name):
    return re.sub(r'\\([0-9a-f]{2})', lambda m: chr(int(m.group(1), 16)), name)


def pattern(name):
    """The name as Emscripten's list can hold it: the list is split at commas, and '.', '#' and
    '?' are read as other characters, so a '*' (any characters) stands for them, and for the
    number after a name the program holds twice. (A pattern that also takes a like-named
    function only instruments more.) The list's reader rejoins pieces whose brackets are not
    closed, so the angle brackets of an operator's name go too. Wasm-opt's matching fails when
    a function's name is all of a pattern before a '*' with more after it: none of these can be
    one."""
    name = re.sub(r'(?<=operator)(<<=?|>>=?|<=|>=|<|>)', '*', name)
    name, twice = re.subn(r'\.\d+$', '*', name)
    return re.sub(r'[,.#?]', '*', name[:-1] if twice else name) + ('*' if twice else '')


def own_functions(build):
    """The functions the game's own object files define (templates included)."""
    # Hidden folders too: the ImGui backends the game compiles come from the library cache,
    # by default under ~/.cache, and count wherever it is.
    objects = glob.glob(os.path.join(build, 'CMakeFiles', '*.dir', '**', '*.o'), recursive=True,
                        include_hidden=True)
    # Emscripten's scripts run on the Python that runs this one.
    env = dict(os.environ, EMSDK_PYTHON=sys.executable)
    out = subprocess.run(['emnm', '-C', '--defined-only', *objects], check=True,
                         capture_output=True, text=True, env=env).stdout
    return {m.group(1) for m in re.finditer(r'^[0-9a-f-]+ [TtWw] (.*)$', out, re.M)}


class Program:
    """What the analysis needs of a WebAssembly program, its functions named readably."""

    def __init__(self, wasm, own):
        self.symbols = {}
        if os.path.exists(wasm[:-len('.wasm')] + '.js.symbols'):
            with open(wasm[:-len('.wasm')] + '.js.symbols') as f:
                for line in f:
                    index, _, name = line.rstrip('\n').partition(':')
                    self.symbols[int(index)] = name
        self.own = own
        self.calls, self.indirect, self.signatures = {}, {}, {}
        self.globals_read, self.globals_set = {}, {}
        self.table, self.imports = [], set()
        self._read(subprocess.run(['wasm-dis', wasm], check=True, capture_output=True,
                                  text=True).stdout)

    def name(self, text_name):
        """The readable name of a function as the disassembly names it (by number when the
        program has no names of its own, imports apart)."""
        m = re.fullmatch(r'fimport\$(\d+)|(\d+)', text_name)
        if m and self.symbols:
            index = int(m.group(1)) if m.group(1) else int(m.group(2)) + len(self.imports)
            text_name = self.symbols[index]
        return unescape(text_name)

    def _read(self, text):
        types, current = {}, None
        for line in text.splitlines():
            if line.startswith(' (func '):
                m = FUNC.match(line)
                current = self.name(m.group(1))
                self.signatures[current] = signature(m.group(2))
                self.calls[current], self.indirect[current] = set(), set()
                self.globals_read[current], self.globals_set[current] = set(), []
            elif line.startswith(' (import '):
                m = IMPORT.match(line)
                if m:
                    i = self.name(m.group(1))
                    self.imports.add(i)
                    self.signatures[i] = signature(m.group(2))
            elif line.startswith(' (type '):
                m = TYPE.match(line)
                if m:
                    types[m.group(1)] = signature(m.group(2))
            elif line.startswith(' (elem '):
                self.table += [self.name(n[1:].rstrip(')')) for n in line.split()
                               if n.startswith('$')]
            elif current is not None:
                self.calls[current].update(self.name(c) for c in CALL.findall(line))
                if current in self.own:
                    self.indirect[current].update(types[t] for t in CALL_INDIRECT.findall(line))
                self.globals_read[current].update(GLOBAL_GET.findall(line))
                self.globals_set[current] += GLOBAL_SET.findall(line)

    def sleeping(self):
        """The functions that can be on the stack when the program sleeps."""
        callers, indirect_callers = {}, {}
        for f, targets in self.calls.items():
            for t in targets:
                callers.setdefault(t, set()).add(f)
            for s in self.indirect[f]:
                indirect_callers.setdefault(s, set()).add(f)
        # invoke_X(pointer, arguments...) (exceptions, longjmp) calls through the pointer
        # from JavaScript.
        for i in self.imports:
            if i.startswith('invoke_'):
                params, results = self.signatures[i].split('->')
                indirect_callers.setdefault(' '.join(params.split()[1:]) + '->' + results,
                                            set()).add(i)
        in_table = set(self.table)
        sleeping = {i for i in self.imports
                    if i in SLEEPING_IMPORTS or i.startswith('__asyncjs__')}
        work = list(sleeping)
        while work:
            f = work.pop()
            reached = set(callers.get(f, ()))
            if f in in_table:
                reached |= indirect_callers.get(self.signatures[f], set())
            for g in reached - sleeping:
                sleeping.add(g)
                work.append(g)
        return sleeping - self.imports

    def instrumented(self):
        """The functions the asynchronous mode instrumented: those that read its state (the
        global its asyncify_stop_unwind sets)."""
        state = self.globals_set['asyncify_stop_unwind'][0]
        return {f for f, read in self.globals_read.items() if state in read}


def main(args):
    check = args[0] == '--check'
    if check:
        args = args[1:]
    program = Program(os.path.join(args[0], 'web', 'gnatrix.wasm'), own_functions(args[0]))
    sleeping = program.sleeping()
    if not check:
        # Emscripten reads the list from the file (-sASYNCIFY_ONLY=@FILE) as JSON.
        print(json.dumps(sorted({pattern(f) for f in sleeping}), indent=0))
        return 0
    instrumented = program.instrumented()
    missing = sorted(sleeping - instrumented)
    for f in missing:
        print('asyncify: can sleep but is not instrumented: ' + f, file=sys.stderr)
    if missing:
        print('asyncify: write web/asyncify-functions.json again with tools/web/asyncify_list.py',
              file=sys.stderr)
        return 1
    print(f'asyncify: the {len(sleeping)} functions that can sleep are instrumented '
          f'({len(instrumented)} of the {len(program.calls)} functions are)')
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
