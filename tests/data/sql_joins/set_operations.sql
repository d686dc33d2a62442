-- feature: UNION / EXCEPT / MINUS / INTERSECT, joins in branches, columns traced by position
-- default_db: DW
-- default_schema: PUBLIC

-- case: a join in each union branch
-- join: INNER | dw.public.web_orders | dw.public.customers
-- join: INNER | dw.public.store_orders | dw.public.customers
select o.id, c.name from web_orders o join customers c on c.id = o.customer_id
union all
select o.id, c.name from store_orders o join customers c on c.id = o.customer_id

-- case: column of a union subquery traced by position in every branch
-- join: INNER | dw.public.web_visits, dw.public.app_visits | dw.public.accounts
select u.kind, a.name
from (
  select account_id, 'web' as kind from web_visits
  union all
  select acct_id, 'app' from app_visits
) u
join accounts a on a.id = u.account_id

-- case: parenthesised operands with except and minus
-- join: INNER | dw.public.customers | dw.public.orders
-- join: INNER | dw.public.customers | dw.public.refunds
(select c.id from customers c join orders o on o.customer_id = c.id)
except
(select c.id from customers c join refunds r on r.customer_id = c.id)
minus
select id from blocked_customers

-- case: union CTE whose second branch names the column differently
-- join: LEFT OUTER | dw.app.users, dw.legacy.users | dw.app.subscriptions
with all_users as (
  select id as user_id, email from app.users
  union
  select legacy_id, email_address from legacy.users
)
select * from all_users au
left join app.subscriptions s on s.user_id = au.user_id

-- case: intersect of parenthesised queries inside FROM
-- join: INNER | dw.public.a_list, dw.public.b_list | dw.public.posts
select x.id, p.title from ((select id from a_list) intersect (select id from b_list)) x join posts p on p.author_id = x.id

-- case: star in union branches falls back to all tables
-- join: INNER | dw.eu.orders, dw.us.orders | dw.public.fx
with combined as (
  select * from eu.orders
  union all
  select * from us.orders
)
select * from combined c join dw.public.fx f on f.currency = c.currency
