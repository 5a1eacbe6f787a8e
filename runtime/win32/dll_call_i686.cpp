// The 32-bit x86 call of a declared DLL command with the stack check (see
// rt_call_stdcall_i686 in dll_command.h). Nothing here on other machines.
#if defined(__i386__)
asm(R"(
    .text
    .globl _rt_call_stdcall_i686
    .def _rt_call_stdcall_i686; .scl 2; .type 32; .endef
_rt_call_stdcall_i686:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl 16(%ebp), %ecx
    movl 12(%ebp), %edx
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%edx,%ecx,4)
    jmp 1b
2:  movl 16(%ebp), %edi
    leal (%esp,%edi,4), %edi
    call *8(%ebp)
    xorl %ebx, %ebx
    cmpl %edi, %esp
    setne %bl
    movl 20(%ebp), %ecx
    movl %eax, (%ecx)
    movl %edx, 4(%ecx)
    movl 24(%ebp), %ecx
    testl %ecx, %ecx
    jz 3f
    fstpl (%ecx)
3:  movl %ebx, %eax
    leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");
#endif
