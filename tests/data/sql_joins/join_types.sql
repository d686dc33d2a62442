-- feature: every join type, USING, joins without condition, DIRECTED, fully qualified columns
-- default_db: DB
-- default_schema: S

-- case: inner, outer, cross and natural joins in one FROM
-- join: INNER | db.s.a | db.s.b
-- join: LEFT OUTER | db.s.a | db.s.c
-- join: RIGHT OUTER | db.s.a | db.s.d
-- join: FULL OUTER | db.s.a | db.s.e
-- join: CROSS | db.s.a, db.s.b, db.s.c, db.s.d, db.s.e | db.s.f
-- join: NATURAL INNER | db.s.a, db.s.b, db.s.c, db.s.d, db.s.e, db.s.f | db.s.g
-- join: NATURAL LEFT OUTER | db.s.a, db.s.b, db.s.c, db.s.d, db.s.e, db.s.f, db.s.g | db.s.h
-- join: NATURAL FULL OUTER | db.s.a, db.s.b, db.s.c, db.s.d, db.s.e, db.s.f, db.s.g, db.s.h | db.s.i
select * from a
inner join b on a.id = b.id
left outer join c on a.id = c.id
right join d on d.id = a.id
full join e on e.id = a.id
cross join f
natural join g
natural left join h
natural full outer join i

-- case: using gives the whole left side
-- join: INNER | db.s.orders | db.s.order_items
-- join: INNER | db.s.orders, db.s.order_items | db.s.products
select * from orders o join order_items oi using (order_id) join products p using (product_id)

-- case: join without a condition
-- join: INNER | db.s.x | db.s.y
select * from x join y where x.a = y.a

-- case: directed join
-- join: INNER | db.s.facts | db.s.dims
select * from facts f inner directed join dims d on d.id = f.dim_id

-- case: condition that names only the left side
-- join: LEFT OUTER | db.s.a | db.s.b
select * from a left join b on a.flag = true

-- case: columns qualified with full table names
-- join: INNER | db.s.orders | other_db.s.customers
select * from db.s.orders join other_db.s.customers on db.s.orders.cid = other_db.s.customers.id

-- case: USING with qualified columns
-- join: INNER | db.s.orders | db.s.items
select * from orders o join items i using (o.order_id, i.tenant_id)
