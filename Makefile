# The two commands a fresh machine needs: `make test` and `make run`.
JOBS := $(shell nproc)

.PHONY: test run deps build build-asan build-tsan test-dev test-asan test-tsan bench npm-deps clean

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

run: build
	@if [ -x build/bin/orvane-semantic-agent ]; then \
	  exec build/bin/orvane-semantic-agent; \
	else \
	  echo "orvane-semantic-agent is not built yet: the server does not exist in this version" >&2; \
	  exit 1; \
	fi

bench: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)
	bash bench/tiktoken/run.sh build/release
	/usr/bin/python3 bench/yaml/compare.py build/release
	/usr/bin/python3 bench/sql_parsing/compare_with_sqlglot.py --bench build/release/bin/sql_parsing_bench

clean:
	rm -rf build
