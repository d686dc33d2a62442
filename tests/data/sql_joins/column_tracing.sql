-- feature: close cases of tracing condition columns through subqueries and CTEs
-- default_db: DB
-- default_schema: S

-- case: single-source star subquery
-- join: INNER | db.s.accounts | db.s.owners
select * from (select * from accounts where active) a join owners o on o.id = a.owner_id

-- case: star over several sources falls back to every table
-- join: INNER | db.s.accounts | db.s.plans
-- join: INNER | db.s.accounts, db.s.plans | db.s.owners
select * from (select * from accounts acc join plans pl on pl.id = acc.plan_id) a join owners o on o.id = a.owner_id

-- case: qualified star passes its source's columns
-- join: INNER | db.s.accounts | db.s.plans
-- join: INNER | db.s.accounts | db.s.owners
select * from (select acc.*, pl.tier from accounts acc join plans pl on pl.id = acc.plan_id) a join owners o on o.id = a.owner_id

-- case: explicit column beside a qualified star
-- join: INNER | db.s.accounts | db.s.plans
-- join: INNER | db.s.plans | db.s.tier_limits
select * from (select acc.*, pl.tier from accounts acc join plans pl on pl.id = acc.plan_id) a join tier_limits t on t.tier = a.tier

-- case: unqualified column over comma sources
-- join: INNER | db.s.accounts, db.s.plans | db.s.owners
select * from (select owner_id, tier from accounts, plans where plans.id = accounts.plan_id) a join owners o on o.id = a.owner_id

-- case: subquery column aliases
-- join: INNER | db.s.accounts | db.s.plans
select * from (select owner_id, plan_id from accounts) as a (oid, pid) join plans p on p.id = a.pid

-- case: a CTE that reads no table adds none and suppresses the fallback
-- join: INNER | db.s.orders |
-- join: INNER |  | db.s.items
with params as (select 10 as min_qty)
select * from orders o join params p on o.qty >= p.min_qty join items i on i.qty >= p.min_qty

-- case: left tables in the order the condition names them
-- join: INNER | db.s.a | db.s.b
-- join: INNER | db.s.b, db.s.a | db.s.c
select * from a join b on a.id = b.a_id join c on c.b_id = b.id and c.a_id = a.id

-- case: a literal column falls back to the tables of its subquery
-- join: INNER | db.s.orders | db.s.regions
select * from orders o join (select 'x' as k, region from regions) r on r.k = o.k

-- case: recursive CTE traced through its anchor
-- join: INNER | db.s.categories | db.s.categories
-- join: INNER | db.s.categories | db.s.products
with recursive tree as (
  select id, parent_id, name from categories where parent_id is null
  union all
  select c.id, c.parent_id, tree.name from categories c join tree on c.parent_id = tree.id
)
select * from tree t join products p on p.category_name = t.name
