# The environment every Wine run here shares; sourced by wine-run.sh and by the bootstrap's probe.
#   - 64-bit prefixes, Wine's debug output off, no Mono or Gecko download prompts, no desktop menu entries
#     written into the user's home;
#   - where the kernel runs no i386 code and qemu's emulator runs wine32: a guest address space of 3 GB. With
#     qemu's default of 4 GB its loader keeps 0x68000000-0x7d000000 reserved and puts the stack below 2 GB;
#     Wine then reserves 2-4 GB in one piece for a large-address-aware program and gives none of it back, which
#     leaves the process's Linux side about 20 MB: font files and libX11 fail to map, and the 32-bit installer
#     never shows its window. At 3 GB Wine gives 2-3 GB back, and the program still has more than 2 GB. Where
#     the kernel runs i386 code itself, nothing reads the variable.
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export QEMU_RESERVED_VA=0xc0000000
