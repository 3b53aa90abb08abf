#!/usr/bin/env python3
"""Checks that every file in build/dist loads on a bare Windows of the family:
32-bit x86 PE, subsystem version 4.0, only 80386 instructions, imports only from
the libraries every Windows has and only their ANSI forms, and exports exactly the
names it must.
For machine x86-64 (build/dist64): PE32+ for x86-64 and subsystem version 5.2,
the lowest that 64-bit Windows loads.
SETUP.EXE (both) carries an application manifest that asks for an administrator,
and every manifest's version is four numbers.

usage: check_deliverables.py <objdump> <dist directory or one file> [i386|x86-64]
"""
import os
import re
import struct
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

# Libraries that every Windows 95 and NT 4.0 has, English editions included, and the
# setup library that the INF runner needs. IMM32.DLL is not among them: only the Far
# East editions of Windows 95 have it, so it is looked up at run time.
SYSTEM_LIBRARIES = {'kernel32.dll', 'user32.dll', 'gdi32.dll', 'advapi32.dll', 'shell32.dll',
                    'ole32.dll', 'comctl32.dll', 'setupapi.dll'}

# The instructions of the 80386 and its 387, as objdump spells them (Intel syntax):
# the x86 files must run on every processor Windows 95 ran on. Not here: bswap,
# cmpxchg, xadd, invd, wbinvd, invlpg (i486), cpuid, rdtsc, rdmsr, cmpxchg8b
# (Pentium), cmov, fcmov, fcomi, ud2 (Pentium Pro), and MMX or SSE.
I386_INSTRUCTIONS = set("""
    aaa aad aam aas adc add and arpl bound bsf bsr bt btc btr bts call cbw cdq clc cld cli clts cmc
    cmp cmps cmpsb cmpsd cmpsw cwd cwde daa das dec div enter hlt idiv imul in inc ins insb insd
    insw int int3 into iret iretd ja jae jb jbe jc jcxz je jecxz jg jge jl jle jmp jna jnae jnb jnbe
    jnc jne jng jnge jnl jnle jno jnp jns jnz jo jp jpe jpo js jz lahf lar lds lea leave les lfs
    lgdt lgs lidt lldt lmsw lods lodsb lodsd lodsw loop loope loopne loopnz loopz lsl lss ltr mov
    movs movsb movsd movsw movsx movzx mul neg nop not or out outs outsb outsd outsw pop popa popad
    popf popfd push pusha pushad pushf pushfd rcl rcr ret retf rol ror sahf sal sar sbb scas scasb
    scasd scasw seta setae setb setbe setc sete setg setge setl setle setna setnae setnb setnbe
    setnc setne setng setnge setnl setnle setno setnp setns setnz seto setp setpe setpo sets setz
    sgdt shl shld shr shrd sidt sldt smsw stc std sti stos stosb stosd stosw str sub test verr verw
    wait xchg xlat xlatb xor
    f2xm1 fabs fadd faddp fbld fbstp fchs fclex fcom fcomp fcompp fcos fdecstp fdiv fdivp fdivr
    fdivrp ffree fiadd ficom ficomp fidiv fidivr fild fimul fincstp finit fist fistp fisub fisubr
    fld fld1 fldcw fldenv fldl2e fldl2t fldlg2 fldln2 fldpi fldz fmul fmulp fnclex fninit fnop
    fnsave fnstcw fnstenv fnstsw fpatan fprem fprem1 fptan frndint frstor fsave fscale fsin fsincos
    fsqrt fst fstcw fstenv fstp fstsw fsub fsubp fsubr fsubrp ftst fucom fucomp fucompp fwait fxam
    fxch fxtract fyl2x fyl2xp1
""".split())

EXPORTS = {
    'PINDREL.DLL': {'DllMain', 'DllGetClassObject', 'DllCanUnloadNow', 'Install', 'Uninstall', 'CplGetPage'},
    'QUORBIN.DLL': {'DllMain', 'DllGetClassObject', 'DllCanUnloadNow', 'CplGetPage', 'Open', 'OpenW', 'Install',
                    'Uninstall'},
    'KELVARA.CPL': {'CPlApplet', 'DllMain', 'Install', 'Uninstall'},
    'SETUP.EXE': set(),
}

# Names that end in a capital W without being the wide form of an A/W pair.
NOT_WIDE = set()


def parse(objdump, path):
    text = subprocess.run([objdump, '-p', path], capture_output=True, text=True, check=True).stdout
    info = {'imports': {}, 'exports': set()}
    m = re.search(r'file format (\S+)', text)
    info['format'] = m.group(1) if m else ''
    m = re.search(r'MajorSubsystemVersion\s+(\d+)', text)
    n = re.search(r'MinorSubsystemVersion\s+(\d+)', text)
    info['subsystem_version'] = (int(m.group(1)), int(n.group(1))) if m and n else None
    m = re.search(r'^Magic\s+(\w+)', text, re.M)
    info['magic'] = m.group(1) if m else ''
    current = None
    in_exports = False
    for line in text.splitlines():
        dll = re.match(r'\s*DLL Name: (\S+)', line)
        if dll:
            current = dll.group(1).lower()
            info['imports'][current] = []
            continue
        if current is not None:
            entry = re.match(r'\s+[0-9a-f]+\s+(\d+)\s+(\S+)\s*$', line)
            if entry:
                info['imports'][current].append(entry.group(2))
                continue
            if not line.strip():
                current = None
        if line.startswith('[Ordinal/Name Pointer] Table'):
            in_exports = True
            continue
        if in_exports:
            e = re.match(r'\s+\[\s*\d+\]\s+(\S+)', line)
            if e:
                info['exports'].add(e.group(1))
            elif not line.strip():
                in_exports = False
    return info


def section_headers(data):
    """(name, virtual size, address, raw size, raw offset, flags) of each section of a PE file."""
    pe = struct.unpack_from('<I', data, 0x3c)[0]
    count, optional_size = struct.unpack_from('<H12xH', data, pe + 6)
    for header in range(pe + 24 + optional_size, pe + 24 + optional_size + 40 * count, 40):
        yield struct.unpack_from('<8s4I12xI', data, header)


def foreign_instructions(objdump, path):
    """(address, mnemonic) of each instruction of the code sections that the 80386 does
    not have. The lists of constructors and destructors that the linker puts at the
    end of .text (each -1, its entries, 0) are data and are left out."""
    data = open(path, 'rb').read()
    image_base = struct.unpack_from('<I', data, struct.unpack_from('<I', data, 0x3c)[0] + 52)[0]
    for name, size, address, raw_size, raw_at, flags in section_headers(data):
        if not flags & 0x20:  # IMAGE_SCN_CNT_CODE
            continue
        code = data[raw_at:raw_at + min(size, raw_size)]
        end = len(code)
        for _ in range(2):
            marker = code.rfind(b'\xff' * 4, 0, end - 4)
            if code[end - 4:end] != bytes(4) or marker < 0 or (end - marker) % 4:
                break
            end = marker
        text = subprocess.run([objdump, '-d', '-M', 'intel', '--no-show-raw-insn', '-j', name.rstrip(b'\0').decode(),
                               f'--start-address={image_base + address:#x}',
                               f'--stop-address={image_base + address + end:#x}', path],
                              capture_output=True, text=True, check=True).stdout
        # Prefixes (each an 80386 one) stand before the mnemonic.
        for m in re.finditer(r'^\s*([0-9a-f]+):\t(?:(?:lock|rep\w*|data16|addr16|[c-gs]s) )*(\S+)', text, re.M):
            if m.group(2) not in I386_INSTRUCTIONS:
                yield m.group(1), m.group(2)


def manifest_problems(objdump, path, elevated):
    """What is wrong with the application manifest (resource 24, id 1): a version of four numbers, which Windows
    needs to start the program at all, and with elevated the request by which Windows Vista and later start it
    elevated. Without elevated a file may have no manifest."""
    text = subprocess.run([objdump, '-p', path], capture_output=True, text=True, check=True).stdout
    leaf = re.search(r'Entry: ID: 0x000018,.*\n.*Name Table.*\n.*Entry: ID: 0x000001,.*\n.*Language Table.*\n'
                     r'.*\n.*Leaf: Addr: (\w+), Size: (\w+)', text)
    if not leaf:
        return ['no application manifest (resource 24, id 1)'] if elevated else []
    rva, size = int(leaf[1], 16), int(leaf[2], 16)
    data = open(path, 'rb').read()
    at = next(raw_at + rva - address for _, va_size, address, _, raw_at, _ in section_headers(data)
              if address <= rva < address + va_size)
    xml = data[at:at + size]
    versions = [e.get('version', '') for e in ElementTree.fromstring(xml) if e.tag.endswith('}assemblyIdentity')]
    problems = [] if len(versions) == 1 and re.fullmatch(r'\d{1,5}(\.\d{1,5}){3}', versions[0]) and \
        max(int(n) for n in versions[0].split('.')) <= 65535 else \
        [f'manifest versions {versions}, not one of four numbers up to 65535']
    if not elevated:
        return problems
    trust = [e for e in ElementTree.fromstring(xml).iter() if e.tag.endswith('}trustInfo')]
    tags = re.findall(r'<[\w:]*trustInfo\b([^>]*)>(.*?)</[\w:]*trustInfo>', xml.decode('utf-8-sig'), re.S)
    if len(trust) != 1 or len(tags) != 1:
        return problems + [f'{len(trust)} trustInfo elements in a namespace, not 1']
    ns = trust[0].tag[:-len('trustInfo')]
    levels = [e.attrib for e in trust[0].findall(f'{ns}security/{ns}requestedPrivileges/{ns}requestedExecutionLevel')]
    found = (len(re.findall(r'\bxmlns\b', tags[0][0])), tags[0][1].count('xmlns'), ns, levels)
    # Windows reads trustInfo in the namespace of version 2 or 3 only.
    wanted = (1, 0, ns if re.fullmatch(r'\{urn:schemas-microsoft-com:asm\.v[23]\}', ns) else 'asm.v2 or asm.v3',
              [{'level': 'requireAdministrator', 'uiAccess': 'false'}])
    return problems + ([] if found == wanted else
                       [f'trustInfo (xmlns on it, inside, namespace, levels) {found}, not {wanted}'])


def check(objdump, path, machine):
    name = os.path.basename(path).upper()
    problems = []
    info = parse(objdump, path)
    want_format, want_magic, want_version = {'i386': ('pei-i386', '010b', (4, 0)),
                                             'x86-64': ('pei-x86-64', '020b', (5, 2))}[machine]
    if info['format'] != want_format or info['magic'] != want_magic:
        problems.append(f'format {info["format"]} (magic {info["magic"]}), not {want_format}')
    if info['subsystem_version'] != want_version:
        problems.append(f'subsystem version {info["subsystem_version"]}, not {want_version[0]}.{want_version[1]}')
    for dll, functions in sorted(info['imports'].items()):
        if dll not in SYSTEM_LIBRARIES:
            problems.append(f'imports {dll}')
        for f in functions:
            if re.search(r'[a-z0-9]W$', f) and f not in NOT_WIDE:
                problems.append(f'imports the wide function {dll}!{f}')
    if machine == 'i386':
        for address, mnemonic in foreign_instructions(objdump, path):
            problems.append(f'{mnemonic} at {address}: not an 80386 instruction')
    if name not in EXPORTS:
        problems.append('is not a known deliverable')
    elif info['exports'] != EXPORTS[name]:
        missing = EXPORTS[name] - info['exports']
        extra = info['exports'] - EXPORTS[name]
        problems.append(f'exports differ: missing {sorted(missing)}, extra {sorted(extra)}')
    problems += manifest_problems(objdump, path, name == 'SETUP.EXE')
    return problems


def main():
    objdump, dist = sys.argv[1], sys.argv[2]
    machine = sys.argv[3] if len(sys.argv) > 3 else 'i386'
    if os.path.isfile(dist):
        dist, name = os.path.split(dist)
        files = [name]
    else:
        files = sorted(f for f in os.listdir(dist) if f.upper().endswith(('.DLL', '.CPL', '.EXE')))
    if not files:
        print(f'no deliverables in {dist}')
        return 1
    failed = 0
    for f in files:
        problems = check(objdump, os.path.join(dist, f), machine)
        status = 'ok' if not problems else 'FAILED'
        print(f'{f}: {status}')
        for p in problems:
            print(f'  {p}')
        failed += bool(problems)
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
