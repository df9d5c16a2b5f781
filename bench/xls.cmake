# Appending rows to an Excel 97-2003 workbook in place (storage/xls).
if(TARGET quorvel_xls)
  quorvel_bench(xls_append_bench SOURCES xls_append_bench.cpp DEPENDS quorvel_storage)
endif()
