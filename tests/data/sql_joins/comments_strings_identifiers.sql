-- feature: comments and /*+ hints */, strings with JOIN inside, $$ strings, IDENTIFIER('...')
-- default_db: DB
-- default_schema: PUBLIC

-- case: every comment form, a commented-out join and a hint
-- join: INNER | db.public.orders | db.public.customers
/* report: weekly revenue */ SELECT /*+ BROADCAST(c) */ o.id, -- the order
  c.name // customer name
FROM orders o /* fact */
-- JOIN fake_table f ON f.id = o.id
JOIN customers c /* dim */ ON c.id = o.customer_id // join key

-- case: strings holding JOIN text, doubled and escaped quotes
-- join: LEFT OUTER | db.public.orders | db.public.notes
select 'it''s a JOIN b ON x', 'escaped \' JOIN c ON y', o.id
from orders o
left join notes n on n.order_id = o.id and n.body not like '% join %'

-- case: dollar-quoted string holding a query
-- join: INNER | db.public.templates | db.public.owners
select $$ SELECT * FROM a JOIN b ON a.id = b.id $$ as sample_sql, t.id
from templates t
join owners w on w.id = t.owner_id

-- case: identifier() with plain and quoted names
-- join: INNER | sales.public.orders | sales.public.returns
select * from identifier('SALES.PUBLIC.ORDERS') o
join identifier('"Sales"."Public"."Returns"') r on r.order_id = o.id

-- case: identifier() of a session variable names no known table
-- join: INNER |  | db.public.customers
set tbl = 'db.public.orders';
select * from identifier($tbl) t join customers c on c.id = t.customer_id

-- case: comments between join keywords
-- join: LEFT OUTER | db.public.a | db.public.b
select * from a left /* outer? */ outer -- yes
join b on a.id = b.id

-- case: quoted identifiers that look like a join
-- join: INNER | db.public.t "join" u | db.public.v
select "x JOIN y"."id" from "t ""JOIN"" u" as "x JOIN y" join v on v.id = "x JOIN y"."id"
