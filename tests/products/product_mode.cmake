# The product mode and the "/Product" switch (products/product_mode).
vexlo_test(product_mode_test ${CMAKE_CURRENT_LIST_DIR}/product_mode_test.cpp)
