rem point 1
cd run1
call solver input1.inp
copy out.dat ..\point1.out
cd ..
rem point 2
cd run2
call solver input2.inp
copy out.dat ..\point2.out
cd ..
rem point 3
cd run3
call solver input3.inp
copy out.dat ..\point3.out
cd ..
