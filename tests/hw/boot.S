# Multiboot entry. The loader leaves the machine in 32-bit protected mode with
# paging and interrupts off, its magic number in EAX and the address of its
# information block in EBX; the stack is ours to set up.
        .set MULTIBOOT_MAGIC, 0x1BADB002
        .set MULTIBOOT_FLAGS, 0

        .section .multiboot, "a"
        .align 4
        .long MULTIBOOT_MAGIC
        .long MULTIBOOT_FLAGS
        .long -(MULTIBOOT_MAGIC + MULTIBOOT_FLAGS)

        .section .bss
        .align 16
stack_bottom:
        .skip 16384
stack_top:

        .section .text
        .global _start
        .type _start, @function
_start:
        mov $stack_top, %esp
        push %ebx
        push %eax
        call HarnessMain
        # HarnessMain ends the machine; should that fail, stop here.
1:      cli
        hlt
        jmp 1b

        # The stack holds no code.
        .section .note.GNU-stack, "", @progbits
