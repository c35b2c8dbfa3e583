# The PDB 7 test programs, built by clang and lld against mingw's runtime into
# ${pdb7_out}: a C program, a C++ program and the same C++ program optimised.
set(pdb7_dir ${CMAKE_CURRENT_LIST_DIR})
set(pdb7_out ${CMAKE_CURRENT_BINARY_DIR}/pdb7)
set(pdb7_flags --target=i686-w64-mingw32 -g -gcodeview -fuse-ld=lld
    -L/usr/lib/gcc/i686-w64-mingw32/12-posix)
set(pdb7_cpp ${pdb7_dir}/shapes_main.cpp ${pdb7_dir}/shapes_area.cpp)
add_custom_command(OUTPUT ${pdb7_out}/points.exe ${pdb7_out}/shapes.exe ${pdb7_out}/shapes_o2.exe
  COMMAND ${CMAKE_COMMAND} -E make_directory ${pdb7_out}
  COMMAND clang ${pdb7_flags} -O0 -Wl,--pdb=${pdb7_out}/points.pdb ${pdb7_dir}/points.c
          -o ${pdb7_out}/points.exe
  COMMAND clang++ ${pdb7_flags} -O0 -Wl,--pdb=${pdb7_out}/shapes.pdb ${pdb7_cpp}
          -o ${pdb7_out}/shapes.exe
  COMMAND clang++ ${pdb7_flags} -O2 -Wl,--pdb=${pdb7_out}/shapes_o2.pdb ${pdb7_cpp}
          -o ${pdb7_out}/shapes_o2.exe
  DEPENDS ${pdb7_dir}/points.c ${pdb7_dir}/shapes.h ${pdb7_cpp}
  VERBATIM)
add_custom_target(pdb7_programs DEPENDS ${pdb7_out}/points.exe ${pdb7_out}/shapes.exe
                  ${pdb7_out}/shapes_o2.exe)
