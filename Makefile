# What a fresh machine needs: `make demo` (the whole system against local fakes), `make test`,
# and `make run` (the server for real use, configured from the environment or a .env file).
JOBS := $(shell nproc)
# A value the configure step settled, read from that tree's cache when the recipe runs, so the
# interpreters are looked up once, in CMake (the presets pin Python's):
# $(call cached,BUILD_DIR,VARIABLE).
cached = $$(sed -n 's/^$(2):[A-Z]*=//p' $(1)/CMakeCache.txt)

.PHONY: test run demo deps build build-asan build-tsan test-dev test-asan test-tsan bench npm-deps \
  clean

test: test-dev test-asan test-tsan

deps:
	@scripts/install-deps.sh

npm-deps: deps
	@scripts/npm-deps.sh

build: deps
	cmake --preset dev >/dev/null
	cmake --build --preset dev -j $(JOBS)

build-asan: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)

# Only what the tests labelled tsan need (the MCP server's threads).
build-tsan: deps
	cmake --preset tsan >/dev/null
	cmake --build --preset tsan -j $(JOBS) --target osa_tsan_targets

test-dev: build npm-deps
	ctest --preset dev

test-asan: build-asan npm-deps
	ctest --preset asan

test-tsan: build-tsan npm-deps
	ctest --preset tsan -L tsan

# Standard output is the MCP channel: everything the build prints goes to standard error.
run:
	@$(MAKE) --no-print-directory build 1>&2
	@exec build/bin/orvane-semantic-agent

demo: build npm-deps
	@$(call cached,build,OSA_NODE) demo/run_demo.mjs build/bin

bench: npm-deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)
	bash bench/tiktoken/run.sh build/release $(call cached,build/release,OSA_NODE)
	$(call cached,build/release,Python_EXECUTABLE) bench/yaml/compare.py build/release
	$(call cached,build/release,Python_EXECUTABLE) bench/sql_parsing/compare_with_sqlglot.py \
	  --bench build/release/bin/sql_parsing_bench
	$(call cached,build/release,OSA_NODE) bench/server/server_bench.mjs build/release/bin

clean:
	rm -rf build
