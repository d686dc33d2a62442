-- feature: parenthesised (nested) joins; the outer JOIN comes first, inner aliases are visible
-- default_db: DB
-- default_schema: S

-- case: join to a parenthesised join
-- join: INNER | db.s.a | db.s.c
-- join: INNER | db.s.b | db.s.c
select * from a join (b join c on b.id = c.b_id) on a.c_id = c.id

-- case: parenthesised join first
-- join: LEFT OUTER | db.s.orders | db.s.customers
-- join: INNER | db.s.customers | db.s.regions
SELECT * FROM (orders o LEFT JOIN customers c ON c.id = o.customer_id) JOIN regions r ON r.id = c.region_id

-- case: three levels of nesting
-- join: LEFT OUTER | db.s.t1 | db.s.t3
-- join: INNER | db.s.t2 | db.s.t4
-- join: CROSS | db.s.t3 | db.s.t4
select *
from t1
left join (
  t2 inner join (t3 cross join t4) on t2.k = t4.k
) on t1.k = t3.k

-- case: using on both levels
-- join: INNER | db.s.a | db.s.b, db.s.c
-- join: INNER | db.s.b | db.s.c
select * from a join (b join c using (id)) using (id)

-- case: subquery as the first item of a parenthesised join
-- join: INNER | db2.sales.orders | db2.sales.regions
-- join: LEFT OUTER | db2.sales.regions | db2.sales.targets
select * from ((select id, region from db2.sales.orders) o join db2.sales.regions r on r.code = o.region) left join db2.sales.targets t on t.region = r.code
