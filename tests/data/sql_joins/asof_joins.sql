-- feature: ASOF JOIN with MATCH_CONDITION
-- default_db: MKT
-- default_schema: TICKS

-- case: asof join with match condition and on
-- join: ASOF | mkt.ticks.trades | mkt.ticks.quotes
SELECT t.symbol, t.ts, q.bid
FROM trades t ASOF JOIN quotes q
  MATCH_CONDITION (t.ts >= q.ts)
  ON t.symbol = q.symbol

-- case: asof join with using
-- join: ASOF | mkt.ticks.left_prices | mkt.ticks.right_prices
select * from left_prices lp asof join right_prices rp match_condition (lp.observed_at <= rp.observed_at) using (ticker)

-- case: asof join followed by a left join
-- join: ASOF | mkt.ticks.fills | mkt.ticks.marks
-- join: LEFT OUTER | mkt.ticks.fills | mkt.ticks.instruments
select * from fills f
asof join marks m match_condition (f.ts >= m.ts) on f.sym = m.sym
left join instruments i on i.sym = f.sym
