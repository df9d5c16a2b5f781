# Eighteen meters published to mosquitto on the loopback: the added CPU and the latency to a subscriber.
quorvel_bench(publish_bench SOURCES publish_bench.cpp DEPENDS quorvel_bench_support quorvel_engine_publish)
