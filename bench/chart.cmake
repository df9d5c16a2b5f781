quorvel_bench(chart_bench SOURCES chart_bench.cpp DEPENDS quorvel_chart_view)
