# Zorv: `make` builds ./zorv, `make test` builds and runs every test.
ARCH ?= native
# The engine's file: `make EXE=name` (as testing frameworks call it) writes
# the engine there instead of ./zorv.
EXE ?= zorv
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_ARGS = -DCMAKE_BUILD_TYPE=Release -DZORV_ARCH=$(ARCH)
# A compiler named on the command line (`make CXX=clang++`) builds in a
# folder of its own, never in one configured for another compiler.
ifeq ($(origin CXX),command line)
BUILD_DIR ?= build-$(notdir $(CXX))
CMAKE_ARGS += -DCMAKE_CXX_COMPILER=$(CXX)
else
BUILD_DIR ?= build
endif

# Puts a built file in place under a temporary name and renames it over the
# old one: a running engine keeps its own file ("Text file busy" never stops
# a build) and nobody ever sees half a file.
define place
	cp $(1) $(2).tmp-$$$$ && mv -f $(2).tmp-$$$$ $(2)
endef

.PHONY: all zorv ttune test run configure clean help debug debug-test layering sanitize tsan fuzz perft-full bench-perft bench-nn bench-eval match-self match-self-fast match-stockfish match-glaurung match-strength bench-tb fit-wdl plots install uninstall profile-build profile-compare

all: zorv

configure:
	@cmake -S . -B $(BUILD_DIR) $(CMAKE_ARGS) > /dev/null

zorv: configure
	cmake --build $(BUILD_DIR) --target zorv match -j $(JOBS)
	$(call place,$(BUILD_DIR)/zorv,$(EXE))
	$(call place,$(BUILD_DIR)/match,tools/match)

# The tuning build: ./zorv-tune runs -mktraindata, -tune and -tune2 as well.
ttune: configure
	cmake --build $(BUILD_DIR) --target zorv-tune -j $(JOBS)
	$(call place,$(BUILD_DIR)/zorv-tune,./zorv-tune)

# Every test; without GoogleTest the build has none, and that fails here.
test: zorv
	cmake --build $(BUILD_DIR) -j $(JOBS)
	cd $(BUILD_DIR) && ctest --output-on-failure --no-tests=error -j $(JOBS)

# Installing, as packagers expect: PREFIX (default /usr/local) and DESTDIR.
# The engine must have been built (`make`); the README, the licence and
# docs/ with its pictures (docs/plots/*.svg) go to the documentation folder,
# the manual page to section 6.
PREFIX ?= /usr/local
BINDIR ?= $(PREFIX)/bin
DOCDIR ?= $(PREFIX)/share/doc/zorv
MANDIR ?= $(PREFIX)/share/man/man6
DOC_PAGES = $(notdir $(wildcard docs/*.md))
DOC_PLOTS = $(notdir $(wildcard docs/plots/*.svg))
install: $(if $(wildcard $(EXE)),,zorv)
	install -d $(DESTDIR)$(BINDIR) $(DESTDIR)$(DOCDIR)/docs/plots $(DESTDIR)$(MANDIR)
	install -m 755 $(EXE) $(DESTDIR)$(BINDIR)/zorv
	install -m 644 README.md LICENSE $(DESTDIR)$(DOCDIR)/
	install -m 644 $(addprefix docs/,$(DOC_PAGES)) $(DESTDIR)$(DOCDIR)/docs/
	$(if $(DOC_PLOTS),install -m 644 $(addprefix docs/plots/,$(DOC_PLOTS)) $(DESTDIR)$(DOCDIR)/docs/plots/)
	install -m 644 docs/zorv.6 $(DESTDIR)$(MANDIR)/zorv.6

# Removes what install put there, and the documentation folders once empty.
uninstall:
	rm -f $(DESTDIR)$(BINDIR)/zorv $(DESTDIR)$(MANDIR)/zorv.6
	rm -f $(DESTDIR)$(DOCDIR)/README.md $(DESTDIR)$(DOCDIR)/LICENSE $(addprefix $(DESTDIR)$(DOCDIR)/docs/,$(DOC_PAGES))
	rm -f $(addprefix $(DESTDIR)$(DOCDIR)/docs/plots/,$(DOC_PLOTS))
	-rmdir $(DESTDIR)$(DOCDIR)/docs/plots $(DESTDIR)$(DOCDIR)/docs $(DESTDIR)$(DOCDIR) 2>/dev/null

# A profile-guided build (g++): an instrumented engine runs the bench, and
# the engine is compiled again with what it measured; the result replaces
# $(EXE). Its own build folder keeps the profile beside its objects.
PGO_DIR ?= $(BUILD_DIR)-pgo
profile-build:
	cmake -S . -B $(PGO_DIR) $(CMAKE_ARGS) -DZORV_PGO=generate > /dev/null
	cmake --build $(PGO_DIR) --target zorv -j $(JOBS)
	find $(PGO_DIR) -name '*.gcda' -delete
	$(PGO_DIR)/zorv bench > /dev/null
	cmake -S . -B $(PGO_DIR) $(CMAKE_ARGS) -DZORV_PGO=use > /dev/null
	cmake --build $(PGO_DIR) --target zorv -j $(JOBS)
	$(call place,$(PGO_DIR)/zorv,$(EXE))

# Bench speed of the plain build against the profile-guided one, runs
# alternating (RUNS pairs), as the ratio of their median speeds.
RUNS ?= 5
profile-compare: configure
	cmake --build $(BUILD_DIR) --target zorv -j $(JOBS)
	@test -x $(PGO_DIR)/zorv || { echo "no profile-guided build in $(PGO_DIR): make profile-build first"; exit 1; }
	tools/bench_ratio.sh $(RUNS) $(BUILD_DIR)/zorv $(PGO_DIR)/zorv

run: zorv
	$(abspath $(EXE))

# The include graph runs one way, the settings stay in the driver and only
# the output sink writes to the terminal below it (also part of make test).
layering:
	bash tests/layering/check_layers.sh Source

# The debug build, ./zorv-checked: every unmake checks the position it
# restored (keys, bitboards, signature, material and kings recomputed from
# the board). Only make/unmake is compiled again; the rest is shared with
# the plain build.
debug: configure
	cmake --build $(BUILD_DIR) --target zorv-checked zorv_checked_tests -j $(JOBS)
	$(call place,$(BUILD_DIR)/zorv-checked,./zorv-checked)

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
	  --engine build-asan/zorv --testdata tests/data --failures fuzz-failures \
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
OPENINGS = tests/data/openings-balanced.epd
match-self-fast: zorv
	tools/match -e1 ./zorv -e2 ./zorv -o1 Threads=2 -o2 Threads=2 -openings $(OPENINGS) -games $(GAMES) -tc 1+0.01 -pgn match-self-fast.pgn

match-self: zorv
	tools/match -e1 ./zorv -e2 ./zorv -o1 Threads=2 -o2 Threads=2 -openings $(OPENINGS) -games $(GAMES) -tc 10+0.1 -pgn match-self.pgn

match-stockfish: zorv
	tools/match -e1 ./zorv -e2 /usr/games/stockfish -openings $(OPENINGS) -games $(GAMES) -tc 1+0.01 -pgn match-stockfish.pgn

match-glaurung: zorv
	tools/match -e1 "./zorv $(OPTS)" -e2 /usr/games/glaurung -openings $(OPENINGS) -games $(GAMES) -tc 10+0.1 -pgn match-glaurung.pgn

# The calibration of UCI_Elo (docs/strength.md): Zorv limited to E against
# Stockfish 15.1 limited to E for each E of STRENGTH_ELOS, and full strength
# against Stockfish at 2850; 60 games each at 10+0.1, two at once, a PGN
# and a log per match (strength-E.pgn, strength-E.log).
STRENGTH_ELOS ?= 1500 2000 2500
match-strength: zorv
	tools/calibrate_strength.sh $(STRENGTH_ELOS)

# The win/draw/loss model of UCI_ShowWDL fitted to games (docs/wdl.md):
# prints the coefficients and the held-out check. The defaults are the
# shipped model's: the 10+0.1 match of two near-equal builds fitted, every
# fifth opening pair held out, straight lines in the material, and the
# other matches checked only.
WDL_DATA ?= ../matches/ltc-tm2-vs-search.pgn
WDL_ARGS ?= -holdout 5 -degree 1 -check ../matches/tm1-vs-search.pgn,../matches/ltc-n1-vs-base.pgn,../matches/n1-vs-base.pgn
fit-wdl: configure
	cmake --build $(BUILD_DIR) --target fit_wdl -j $(JOBS)
	$(BUILD_DIR)/fit_wdl $(WDL_ARGS) $(WDL_DATA)

# The pictures of docs/plots, drawn from the recorded results beside them
# (docs/plots/NAME.csv makes NAME.svg) by python3 and its standard library;
# python3 is installed with apt-get where it is missing, as .ci/run does
# for the build tools.
plots:
	@command -v python3 >/dev/null || { \
	  sudo_cmd=""; [ "$$(id -u)" -ne 0 ] && sudo_cmd="sudo"; \
	  $$sudo_cmd apt-get update -qq && $$sudo_cmd apt-get install -y -qq python3; }
	python3 tools/plots/make_plots.py

# Tablebase speed: WDL probes per second over random 4-man positions.
bench-tb: configure
	cmake --build $(BUILD_DIR) --target tb_bench -j $(JOBS)
	$(BUILD_DIR)/tests/tb_bench

clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-pgo build-asan build-tsan $(EXE) zorv-checked zorv-tune fuzz-failures

help:
	@echo "make            build ./zorv (ARCH=native by default, e.g. ARCH=x86-64-v2)"
	@echo "make test       build and run every test through ctest"
	@echo "make run        build and start the engine"
	@echo "make EXE=name CXX=compiler   build the engine as ./name with that compiler (testing frameworks)"
	@echo "make install    install ./zorv, its docs and manual page (PREFIX=/usr/local, DESTDIR=); make uninstall"
	@echo "make profile-build    profile-guided build of ./zorv (g++), trained on the bench"
	@echo "make profile-compare  bench speed of the plain and the profile-guided build (RUNS=5)"
	@echo "make ttune      build ./zorv-tune, the engine with the training and tuning modes"
	@echo "make layering   check that includes run downward (board, eval, search, driver), settings stay in the driver, nothing below search prints"
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
	@echo "make fit-wdl    fit the win/draw/loss model to games (WDL_DATA=, WDL_ARGS=)"
	@echo "make plots      draw the pictures of docs/plots from the recorded results there (docs/plots/*.csv)"
	@echo "make match-self-fast / match-self / match-stockfish / match-glaurung   matches (GAMES=, OPTS=)"
	@echo "make match-strength   the UCI_Elo calibration matches against Stockfish (STRENGTH_ELOS=)"
