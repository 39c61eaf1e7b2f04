# Zorv: `make` builds ./zorv, `make test` builds and runs every test.
ARCH ?= native
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_ARGS = -DCMAKE_BUILD_TYPE=Release -DZORV_ARCH=$(ARCH)

.PHONY: all zorv ttune test run configure clean help debug debug-test layering sanitize tsan fuzz perft-full bench-perft bench-nn bench-eval match-self match-self-fast match-stockfish match-glaurung bench-tb

all: zorv

configure:
	@cmake -S . -B $(BUILD_DIR) $(CMAKE_ARGS) > /dev/null

zorv: configure
	cmake --build $(BUILD_DIR) --target zorv match -j $(JOBS)
	cp $(BUILD_DIR)/zorv ./zorv
	cp $(BUILD_DIR)/match tools/match

# The tuning build: ./zorv-tune runs -mktraindata, -tune and -tune2 as well.
ttune: configure
	cmake --build $(BUILD_DIR) --target zorv-tune -j $(JOBS)
	cp $(BUILD_DIR)/zorv-tune ./zorv-tune

test: zorv
	cmake --build $(BUILD_DIR) -j $(JOBS)
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

run: zorv
	./zorv

# The include graph runs one way, and nothing below the search prints (also
# part of make test).
layering:
	bash tests/layering/check_layers.sh Source

# The debug build, ./zorv-checked: every unmake checks the position it
# restored (keys, bitboards, signature, material and kings recomputed from
# the board). Only make/unmake is compiled again; the rest is shared with
# the plain build.
debug: configure
	cmake --build $(BUILD_DIR) --target zorv-checked zorv_checked_tests -j $(JOBS)
	cp $(BUILD_DIR)/zorv-checked ./zorv-checked

# The perft, position, search and bench tests once in the debug build.
DEBUG_TESTS = Perft.*:PositionCheck*:Search*:SelectivityTest.*:TableTest.*:Benchmark.*
debug-test: debug
	cd $(BUILD_DIR)/tests && ZORV_TEST_ENGINE=$(abspath $(BUILD_DIR))/zorv-checked \
	  ./zorv_checked_tests --gtest_filter='$(DEBUG_TESTS)'

# Address and undefined-behaviour sanitizers over the whole test suite.
sanitize:
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZORV_ARCH=$(ARCH) -DZORV_SANITIZE=address,undefined > /dev/null
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ZORV_TEST_TIME_SCALE=5 ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# Random and mutated UCI sessions against the sanitizer build: crashes,
# hangs and illegal moves; then damaged training records, PGN and EPD files
# given to the tools (long; not part of make test). FUZZ_SESSIONS,
# FUZZ_SEED and FUZZ_FIRST choose the sessions, FUZZ_TOOL_RUNS the tool
# runs; failing ones are written to fuzz-failures/.
FUZZ_SESSIONS ?= 300
FUZZ_TOOL_RUNS ?= 60
FUZZ_SEED ?= 1
FUZZ_FIRST ?= 0
fuzz:
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZORV_ARCH=$(ARCH) -DZORV_SANITIZE=address,undefined > /dev/null
	cmake --build build-asan --target zorv zorv-tune fuzz_driver tool_fuzz -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 build-asan/tests/fuzz_driver \
	  --engine build-asan/zorv --testdata ../shared/testdata --failures fuzz-failures \
	  --sessions $(FUZZ_SESSIONS) --seed $(FUZZ_SEED) --first $(FUZZ_FIRST)
	ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 build-asan/tests/tool_fuzz \
	  --engine build-asan/zorv --tune-engine build-asan/zorv-tune --failures fuzz-failures \
	  --runs $(FUZZ_TOOL_RUNS) --seed $(FUZZ_SEED) --first $(FUZZ_FIRST)

# Thread sanitizer over the whole test suite.
tsan:
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZORV_ARCH=$(ARCH) -DZORV_SANITIZE=thread > /dev/null
	cmake --build build-tsan -j $(JOBS)
	cd build-tsan && ZORV_TEST_TIME_SCALE=10 TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# Every depth of every perft suite (long).
perft-full: configure
	cmake --build $(BUILD_DIR) --target zorv_slow_tests -j $(JOBS)
	$(BUILD_DIR)/tests/zorv_slow_tests --gtest_filter='PerftFull*'

# Move generator speed: perft 6 of the start position, perft 5 of Kiwipete.
bench-perft: configure
	cmake --build $(BUILD_DIR) --target perft_bench -j $(JOBS)
	$(BUILD_DIR)/tests/perft_bench

# Network evaluation speed: incremental against full refresh, vector against scalar.
bench-nn: configure
	cmake --build $(BUILD_DIR) --target nn_bench -j $(JOBS)
	$(BUILD_DIR)/tests/nn_bench

# Hand-crafted evaluation speed, cached and uncached, beside perft speed.
bench-eval: configure
	cmake --build $(BUILD_DIR) --target eval_bench -j $(JOBS)
	$(BUILD_DIR)/tests/eval_bench

# Matches (long): Zorv against itself and against Debian's engines, from the
# balanced openings. GAMES, TC and OPTS can be changed on the command line.
GAMES ?= 100
OPENINGS = ../shared/testdata/openings-balanced.epd
match-self-fast: zorv
	tools/match -e1 ./zorv -e2 ./zorv -o1 Threads=2 -o2 Threads=2 -openings $(OPENINGS) -games $(GAMES) -tc 1+0.01 -pgn match-self-fast.pgn

match-self: zorv
	tools/match -e1 ./zorv -e2 ./zorv -o1 Threads=2 -o2 Threads=2 -openings $(OPENINGS) -games $(GAMES) -tc 10+0.1 -pgn match-self.pgn

match-stockfish: zorv
	tools/match -e1 ./zorv -e2 /usr/games/stockfish -openings $(OPENINGS) -games $(GAMES) -tc 1+0.01 -pgn match-stockfish.pgn

match-glaurung: zorv
	tools/match -e1 "./zorv $(OPTS)" -e2 /usr/games/glaurung -openings $(OPENINGS) -games $(GAMES) -tc 10+0.1 -pgn match-glaurung.pgn

# Tablebase speed: WDL probes per second over random 4-man positions.
bench-tb: configure
	cmake --build $(BUILD_DIR) --target tb_bench -j $(JOBS)
	$(BUILD_DIR)/tests/tb_bench

clean:
	rm -rf $(BUILD_DIR) build-asan build-tsan zorv zorv-checked zorv-tune fuzz-failures

help:
	@echo "make            build ./zorv (ARCH=native by default, e.g. ARCH=x86-64-v2)"
	@echo "make test       build and run every test through ctest"
	@echo "make run        build and start the engine"
	@echo "make ttune      build ./zorv-tune, the engine with the training and tuning modes"
	@echo "make layering   check that includes run downward (board, eval, search, driver) and nothing below search prints"
	@echo "make debug      the debug build ./zorv-checked: position checked after every unmake"
	@echo "make debug-test perft, search and bench tests in the debug build"
	@echo "make sanitize   tests under the address and undefined-behaviour sanitizers"
	@echo "make tsan       tests under the thread sanitizer"
	@echo "make fuzz       random UCI sessions and damaged tool inputs against the sanitizer build (FUZZ_SESSIONS=, FUZZ_TOOL_RUNS=, FUZZ_SEED=)"
	@echo "make perft-full every depth of the perft suites"
	@echo "make bench-perft  move generator speed"
	@echo "make bench-nn   network evaluation speed"
	@echo "make bench-eval   hand-crafted evaluation speed"
	@echo "make bench-tb   tablebase WDL probes per second"
	@echo "make match-self-fast / match-self / match-stockfish / match-glaurung   matches (GAMES=, OPTS=)"
