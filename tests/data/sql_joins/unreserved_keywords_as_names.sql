-- feature: unreserved keywords (window, pivot, unpivot, match_condition) as names, and their clauses
-- default_db: DB
-- default_schema: S

-- case: keywords as column names
-- join: INNER | db.s.events | db.s.sessions
select e.window, pivot, s.unpivot, match_condition
from events e join sessions s on s.window = e.window and s.pivot = e.pivot

-- case: keywords as table names
-- join: INNER | db.s.pivot | db.s.window
-- join: LEFT OUTER | db.s.pivot | db.s.match_condition
select * from pivot p join window w on w.pivot_id = p.id
left join match_condition m on m.id = p.id

-- case: keywords as aliases
-- join: INNER | db.s.prices | db.s.facts
select pivot.window as pivot, x.unpivot window
from prices pivot join facts x on x.id = pivot.id

-- case: match_condition columns in an ASOF join
-- join: ASOF | db.s.trades | db.s.quotes
select * from trades t asof join quotes q match_condition (t.ts >= q.ts)
on t.match_condition = q.match_condition

-- case: named window clause
-- join: INNER | db.s.orders | db.s.customers
select o.id, sum(o.amount) over w as running, first_value(o.id) over w2 as first_order
from orders o join customers c on c.id = o.customer_id
window w as (partition by c.id order by o.placed_at), w2 as (w rows unbounded preceding)

-- case: the clauses still read as clauses
-- join: INNER | db.s.sales | db.s.regions
select * from sales s pivot (sum(s.amount) for quarter in ('Q1', 'Q2')) as p
join regions r on r.id = p.region_id
