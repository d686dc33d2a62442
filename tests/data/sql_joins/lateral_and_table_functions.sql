-- feature: LATERAL FLATTEN, TABLE(...), GENERATOR, RESULT_SCAN, SPLIT_TO_TABLE, lateral subqueries
-- default_db: RAW
-- default_schema: EVENTS

-- case: lateral flatten as a comma item is no join
-- joins: none
select e.id, f.value:sku::string as sku
from raw.events.orders e,
lateral flatten(input => e.payload:items) f

-- case: join on a flattened value; the function adds no left table
-- join: INNER |  | raw.events.products
select o.id, p.name
from orders o,
  lateral flatten(input => o.line_items) li
  join products p on p.sku = li.value:sku::string

-- case: cross join lateral flatten
-- join: CROSS | raw.events.users |
SELECT u.id, tag.value::string AS tag
FROM users u
CROSS JOIN LATERAL FLATTEN(input => u.tags) tag

-- case: join to table(flatten()) with named arguments
-- join: INNER | raw.events.documents |
select d.id, t.value
from documents d
inner join table(flatten(input => d.sections, outer => true)) t

-- case: generator date spine reads no table
-- join: LEFT OUTER |  | raw.events.orders
with spine as (
  select dateadd(day, seq4(), '2024-01-01'::date) as day
  from table(generator(rowcount => 366))
)
select spine.day, count(o.id)
from spine
left join raw.events.orders o on o.order_date = spine.day
group by 1

-- case: result_scan of the last query
-- join: INNER |  | raw.admin.warehouses
select r."name", w.size
from table(result_scan(last_query_id())) r
join admin.warehouses w on w.name = r."name"

-- case: lateral subquery and split_to_table without conditions
-- join: INNER | raw.events.customers | raw.events.orders
-- join: INNER | raw.events.customers, raw.events.orders |
select c.id, s.value, last_order.placed_at
from customers c
join lateral (select max(o.placed_at) as placed_at from orders o where o.customer_id = c.id) last_order
join table(split_to_table(c.tags, ',')) s

-- case: UNNEST with ordinality
-- join: INNER |  | raw.events.tags
select u.tag, u.pos, t.label
from unnest(split('a,b', ',')) with ordinality as u(tag, pos)
join tags t on t.code = u.tag

-- case: table function named by IDENTIFIER
-- join: INNER |  | raw.events.users
select * from identifier('raw.events.sessionize')(input => 'x') s
join users u on u.id = s.user_id
where identifier('raw.events.is_bot')(u.agent) = false

-- case: semantic view joined to a table
-- join: INNER |  | raw.events.region_managers
select v.region, v.revenue, r.manager
from semantic_view(sales_sv dimensions customer.region metrics orders.revenue
                   where customer.region <> 'XX') v
join region_managers r on r.region = v.region

-- case: model methods as a table function and in the select list
-- join: LEFT OUTER |  | raw.events.actuals
select f.ts, f.forecast, a.actual, scoring_model!predict(input_data => {*}):label as label
from sales_forecast!forecast(forecasting_periods => 7) f
left join actuals a on a.ts = f.ts
